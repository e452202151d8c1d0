// Stands in for a program (copied under that program's name) and records how it was started:
// appends its command line as one UTF-8 line to the file named by KORAVANE_RECORD_FILE.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"KORAVANE_RECORD_FILE", path, MAX_PATH)) return 0;
  const wchar_t* line = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes.data(), size, nullptr, nullptr);
  bytes += '\n';
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
