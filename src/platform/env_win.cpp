#include <windows.h>

#include <atomic>

#include "platform/env.h"
#include "platform/fill_from_system_win.h"
#include "platform/os_text_win.h"

namespace koravane {
namespace {

OsResult<std::string> to_text(OsResult<std::wstring> raw) {
  if (!raw) return OsError{raw.error()};
  return from_wide(raw.value());
}

using TempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

DWORD WINAPI legacy_temp_path(DWORD capacity, LPWSTR buffer) { return GetTempPathW(capacity, buffer); }

DWORD WINAPI resolve_temp_path(DWORD capacity, LPWSTR buffer);

// Starts at the resolver; the first query stores the function actually used.
std::atomic<TempPathFunction> temp_path_function{resolve_temp_path};

DWORD WINAPI resolve_temp_path(DWORD capacity, LPWSTR buffer) {
  TempPathFunction chosen = legacy_temp_path;
  if (HMODULE kernel = GetModuleHandleA("kernel32")) {
    if (FARPROC proc = GetProcAddress(kernel, "GetTempPath2W")) {
      chosen = reinterpret_cast<TempPathFunction>(reinterpret_cast<void*>(proc));
    }
  }
  temp_path_function.store(chosen);
  return chosen(capacity, buffer);
}

}  // namespace

std::optional<std::string> read_env_var(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::wstring wide_name = to_wide(name);
  auto value = fill_from_system([&](wchar_t* buffer, DWORD n) {
    return GetEnvironmentVariableW(wide_name.c_str(), buffer, n);
  });
  if (!value) return std::nullopt;
  return from_wide(value.value());
}

OsResult<std::string> own_executable_path() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetModuleFileNameW(nullptr, buffer, n); }));
}

OsResult<std::string> current_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetCurrentDirectoryW(n, buffer); }));
}

OsResult<std::string> full_path_name(std::string_view path) {
  const std::wstring wide = to_wide(path.empty() ? "." : path);
  return to_text(fill_from_system([&](wchar_t* buffer, DWORD n) {
    return GetFullPathNameW(wide.c_str(), n, buffer, nullptr);
  }));
}

OsResult<std::string> temp_folder() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return temp_path_function.load()(n, buffer); }));
}

OsResult<std::string> system_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetSystemDirectoryW(buffer, n); }));
}

OsResult<std::string> windows_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetWindowsDirectoryW(buffer, n); }));
}

uint32_t current_process_id() { return GetCurrentProcessId(); }

}  // namespace koravane
