#pragma once
// Running a copy of the start-up probe program under Wine and reading its report.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "support/test_files_win.h"

namespace koravane::probe_test {

using test::long_form;
using test::read_file;

// The start-up probe as built for this test run (a Linux path, reached through Wine's Z: drive).
inline std::string probe_program() { return test::built_program(KORAVANE_STARTUP_PROBE); }

struct ProbeReport {
  DWORD exit_code = 0xFFFFFFFF;
  std::string executable, root, source, markers, mode;
  std::string scaling, scaled_context_known, before_window, first_window;
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
  std::string* fields[] = {&report.executable, &report.root,    &report.source,
                           &report.markers,    &report.mode,    &report.scaling,
                           &report.scaled_context_known, &report.before_window,
                           &report.first_window};
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
