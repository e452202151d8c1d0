#pragma once
// File helpers for tests that run under Wine: fresh folders, file contents, listings, existence.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"

namespace koravane::test {

// Absolute drive paths go through the \\?\ form, so that no length limit of the path parser
// applies to deep test trees.
inline std::wstring long_form(std::string_view path) {
  std::wstring wide = to_wide(path);
  if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') wide.insert(0, L"\\\\?\\");
  return wide;
}

inline bool path_exists(std::string_view path) {
  return GetFileAttributesW(long_form(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool is_directory(std::string_view path) {
  const DWORD attributes = GetFileAttributesW(long_form(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool make_folder(std::string_view path) {
  return CreateDirectoryW(long_form(path).c_str(), nullptr) != 0;
}

inline bool write_file(std::string_view path, std::string_view bytes) {
  const UniqueHandle file(CreateFileW(long_form(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == bytes.size();
}

inline std::optional<std::string> read_file(std::string_view path) {
  const UniqueHandle file(CreateFileW(long_form(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  return bytes;
}

inline std::string read_all(std::string_view path) { return read_file(path).value_or(""); }

// The lines of a text, without their line feeds; a last line without one counts too.
inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Entry names of a folder in the order the system lists them.
inline std::vector<std::string> folder_listing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FindFirstFileW(to_wide(join_path(folder, "*")).c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = from_wide(data.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

// Whether every path is gone within the deadline: for what another process removes, such as a
// self-deletion script, which waits two seconds before it starts.
inline bool wait_until_gone(const std::vector<std::string>& paths, ULONGLONG timeout_ms = 120000) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  const auto any_left = [&] { return std::any_of(paths.begin(), paths.end(), path_exists); };
  while (any_left() && GetTickCount64() < deadline) Sleep(100);
  return !any_left();
}

// The kind of one of this process's standard handles: none, char, pipe, disk or unknown.
inline std::string standard_handle_kind(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return "none";
  switch (GetFileType(h)) {
    case FILE_TYPE_CHAR: return "char";
    case FILE_TYPE_PIPE: return "pipe";
    case FILE_TYPE_DISK: return "disk";
    default: return "unknown";
  }
}

// A handle's value in hexadecimal, as a child given it by name reads it back.
inline std::string handle_value_text(HANDLE handle) {
  char text[2 * sizeof(HANDLE) + 1] = {};
  const auto value = static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle));
  std::snprintf(text, sizeof text, "%llx", value);
  return text;
}

// A file created for writing through an inheritable handle, as a program's parent hands one on.
inline UniqueHandle create_inheritable_file(std::string_view path) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return UniqueHandle(CreateFileW(long_form(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, CREATE_ALWAYS, 0,
                                  nullptr));
}

// This process's three standard handles set to one handle (or none) for a scope; the earlier
// ones come back after.
class StandardHandlesSetTo {
 public:
  explicit StandardHandlesSetTo(HANDLE handle) {
    for (int i = 0; i < 3; ++i) {
      saved_[i] = GetStdHandle(kKinds[i]);
      SetStdHandle(kKinds[i], handle);
    }
  }
  ~StandardHandlesSetTo() {
    for (int i = 0; i < 3; ++i) SetStdHandle(kKinds[i], saved_[i]);
  }
  StandardHandlesSetTo(const StandardHandlesSetTo&) = delete;
  StandardHandlesSetTo& operator=(const StandardHandlesSetTo&) = delete;

 private:
  static constexpr DWORD kKinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved_[3] = {};
};

// A new, empty folder under the temporary folder. Wine reuses process ids from run to run, so
// the name takes the clock too and creation must succeed on a name that was not there.
inline std::string fresh_folder(std::string_view name) {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    const std::string path = join_path(
        from_wide(temp), std::string(name) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64()) + "-" + std::to_string(++counter));
    if (CreateDirectoryW(to_wide(path).c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return path;
  }
}

// A program built for this test run, named by its Linux path: reached through Wine's Z: drive.
inline std::string built_program(std::string_view linux_path) {
  std::string path = "Z:" + std::string(linux_path);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline void set_env(const char* name, std::optional<std::string_view> value) {
  SetEnvironmentVariableW(to_wide(name).c_str(),
                          value ? to_wide(*value).c_str() : nullptr);
}

}  // namespace koravane::test
