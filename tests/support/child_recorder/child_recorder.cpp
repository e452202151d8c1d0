// Appends to the file named by KORAVANE_RECORD_FILE three lines: its command line exactly as the
// system gives it, then "usestdhandles=<0|1> in=<kind> out=<kind> err=<kind>", then
// "cwd=<current directory>". Given a handle value of its parent's in KORAVANE_RECORD_HELD
// (hexadecimal), the second line ends in " held=<path of the file it names here>", or " held=none"
// when the value names no file in this process: whether that handle was inherited. Exits with the
// number in KORAVANE_RECORD_EXIT (0 when unset).
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "support/test_files_win.h"

namespace {

std::wstring env(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  return (n > 0 && n < 4096) ? std::wstring(buffer, n) : std::wstring();
}

// The file a handle value names in this process, or "none".
std::string held_file(const std::wstring& value) {
  const uintptr_t number = std::wcstoull(value.c_str(), nullptr, 16);
  const auto handle = reinterpret_cast<HANDLE>(number);
  wchar_t path[4096] = {};
  const DWORD n = GetFinalPathNameByHandleW(handle, path, 4096, FILE_NAME_NORMALIZED);
  return (n > 0 && n < 4096) ? koravane::from_wide(std::wstring_view(path, n)) : "none";
}

}  // namespace

int wmain() {
  STARTUPINFOW startup{};
  GetStartupInfoW(&startup);
  std::string record = koravane::from_wide(GetCommandLineW());
  record += "\nusestdhandles=";
  record += (startup.dwFlags & STARTF_USESTDHANDLES) ? "1" : "0";
  record += " in=" + koravane::test::standard_handle_kind(STD_INPUT_HANDLE) +
            " out=" + koravane::test::standard_handle_kind(STD_OUTPUT_HANDLE) +
            " err=" + koravane::test::standard_handle_kind(STD_ERROR_HANDLE);
  if (const std::wstring held = env(L"KORAVANE_RECORD_HELD"); !held.empty()) {
    record += " held=" + held_file(held);
  }
  record += "\n";
  wchar_t directory[4096] = {};
  GetCurrentDirectoryW(4096, directory);
  record += "cwd=" + koravane::from_wide(directory) + "\n";
  const std::wstring file_name = env(L"KORAVANE_RECORD_FILE");
  if (!file_name.empty()) {
    const koravane::UniqueHandle file(CreateFileW(file_name.c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  }
  return static_cast<int>(std::wcstoul(env(L"KORAVANE_RECORD_EXIT").c_str(), nullptr, 10));
}
