#pragma once
// The one buffer-growth rule behind every variable-length text query of the system.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/basics/fail_fast_win.h"
#include "platform/basics/result.h"

namespace koravane {

// query(buffer, capacity) calls the system function and returns its DWORD result. A capacity of
// up to 512 units uses a buffer on the stack, a larger one the heap.
template <class Query>
OsResult<std::wstring> fill_from_system(Query&& query) {
  constexpr DWORD kStackCapacity = 512;
  std::array<wchar_t, kStackCapacity> stack_buffer{};
  std::vector<wchar_t> heap_buffer;
  DWORD n = kStackCapacity;
  for (;;) {
    wchar_t* buffer = stack_buffer.data();
    if (n > kStackCapacity) {
      heap_buffer.resize(n);
      buffer = heap_buffer.data();
    }
    SetLastError(0);
    const DWORD k = query(buffer, n);
    const DWORD last_error = GetLastError();
    if (k == 0 && last_error != 0) return OsError{last_error};
    if (k == n) {
      if (last_error != ERROR_INSUFFICIENT_BUFFER) fail_fast();
      n = static_cast<DWORD>(std::min<uint64_t>(uint64_t{n} * 2, 0xFFFFFFFFu));
      continue;
    }
    if (k > n) {
      n = k;
      continue;
    }
    return std::wstring(buffer, k);
  }
}

}  // namespace koravane
