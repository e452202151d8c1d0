#pragma once
// The readiness signal of the test programs that stand in for running programs: a file, written
// once the program runs and holds or shows what it was told to, whose one line names the process
// as "<id> <creation time>". The creation time (a FILETIME count) tells the process from a later
// one that Wine gives the same id, which it does soon after a process ends.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "platform/basics/handles_win.h"

namespace koravane::test {

struct ProcessIdentity {
  DWORD id = 0;
  uint64_t created = 0;
};

inline uint64_t creation_time(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// Parses "<id> <creation time>" or "<id>:<creation time>".
inline std::optional<ProcessIdentity> parse_identity(std::wstring_view text) {
  const size_t split = text.find_first_of(L" :");
  if (split == std::wstring_view::npos) return std::nullopt;
  const std::wstring id(text.substr(0, split)), created(text.substr(split + 1));
  wchar_t* id_end = nullptr;
  wchar_t* created_end = nullptr;
  const unsigned long long id_value = std::wcstoull(id.c_str(), &id_end, 10);
  const unsigned long long created_value = std::wcstoull(created.c_str(), &created_end, 10);
  if (id.empty() || *id_end != L'\0' || created.empty() ||
      (*created_end != L'\0' && *created_end != L'\r' && *created_end != L'\n')) {
    return std::nullopt;
  }
  return ProcessIdentity{static_cast<DWORD>(id_value), created_value};
}

// Writes this process's ready file through a temporary name, so that a reader never sees a part.
inline bool write_ready_file(const std::wstring& path) {
  const std::string line = std::to_string(GetCurrentProcessId()) + " " +
                           std::to_string(creation_time(GetCurrentProcess())) + "\n";
  const std::wstring part = path + L".part";
  {
    UniqueHandle file(
        CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
      return false;
    }
  }
  return MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// For a test that started a stand-in itself: whether its ready file appeared before the process
// ended and before the deadline.
inline bool wait_for_ready_file(const std::wstring& path, HANDLE process,
                                DWORD timeout_ms = 60000) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0 || GetTickCount64() > deadline) {
      return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
  }
}

}  // namespace koravane::test
