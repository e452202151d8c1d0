#pragma once
// Helpers for start-up tests under Wine: scratch folders, whole-file reads and writes, and
// running a copy of the start-up probe program.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"

namespace koravane::probe_test {

// Long paths go through the \\?\ form so that no length limit of the path parser applies.
inline std::wstring long_form(std::string_view path) {
  std::wstring wide = to_wide(path);
  if (wide.size() >= 2 && wide[1] == L':') wide.insert(0, L"\\\\?\\");
  return wide;
}

inline bool make_folder(std::string_view path) {
  return CreateDirectoryW(long_form(path).c_str(), nullptr) != 0;
}

inline bool exists(std::string_view path) {
  return GetFileAttributesW(long_form(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool is_folder(std::string_view path) {
  const DWORD attributes = GetFileAttributesW(long_form(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool write_file(std::string_view path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(long_form(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
         written == bytes.size();
}

inline std::optional<std::string> read_file(std::string_view path) {
  UniqueHandle file(CreateFileW(long_form(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  return bytes;
}

// A new empty folder in the temporary folder, unique to this call. Wine hands out the same
// process ids run after run, so the clock makes the name unique across runs.
inline std::string scratch_folder(std::string_view name) {
  static int counter = 0;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::string path = join_path(from_wide(temp), std::string(name) + "-" +
                                                          std::to_string(now.QuadPart) + "-" +
                                                          std::to_string(++counter));
  make_folder(path);
  return path;
}

// The start-up probe as built for this test run (a Linux path, reached through Wine's Z: drive).
inline std::string probe_program() {
  std::string path = "Z:" KORAVANE_STARTUP_PROBE;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

struct ProbeReport {
  DWORD exit_code = 0xFFFFFFFF;
  std::string executable, root, source, markers, mode;
};

// Copies the probe to program_path and runs it there with the given arguments and working folder.
inline ProbeReport run_probe_copy(const std::string& program_path, std::string_view arguments,
                                  const std::string& working_folder) {
  ProbeReport report;
  if (!CopyFileW(long_form(probe_program()).c_str(), long_form(program_path).c_str(), FALSE)) {
    report.executable = "copy failed " + std::to_string(GetLastError());
    return report;
  }
  const std::string out = join_path(working_folder, "probe-out.txt");
  SetEnvironmentVariableW(L"KORAVANE_PROBE_OUT", to_wide(out).c_str());
  std::wstring command = L"\"" + to_wide(program_path) + L"\" " + to_wide(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(to_wide(program_path).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, to_wide(working_folder).c_str(), &startup, &process)) {
    report.executable = "start failed " + std::to_string(GetLastError());
    return report;
  }
  UniqueHandle process_handle(process.hProcess);
  UniqueHandle thread_handle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &report.exit_code);
  const std::string text = read_file(out).value_or("");
  std::string* fields[] = {&report.executable, &report.root, &report.source, &report.markers,
                           &report.mode};
  size_t start = 0;
  for (std::string* field : fields) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) break;
    *field = text.substr(start, end - start);
    start = end + 1;
  }
  return report;
}

}  // namespace koravane::probe_test
