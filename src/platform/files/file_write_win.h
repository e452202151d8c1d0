#pragma once
// Writing a whole byte string to an open file.
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/basics/result.h"

namespace koravane {

// Partial writes continue with the rest; a write that takes no bytes is a failure.
inline OsStatus write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 0x40000000));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return OsError{GetLastError()};
    if (written == 0) return OsError{ERROR_WRITE_FAULT};
    bytes.remove_prefix(written);
  }
  return os_success();
}

}  // namespace koravane
