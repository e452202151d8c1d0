#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {


struct Ending {
  DWORD exit_code = 0;
  std::string output;  // standard output and standard error together
};

// Runs a probe as built for this test run (a Linux path, reached through Wine's Z: drive).
Ending run_probe(const char* probe, const std::wstring& mode, const std::string& output_file) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  UniqueHandle output(CreateFileW(to_wide(output_file).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  &inheritable, CREATE_ALWAYS, 0, nullptr));
  if (!output) return {0xFFFFFFFF, "cannot create the output file"};
  std::wstring command = L"\"" + to_wide(test::built_program(probe)) + L"\" " + mode;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.get();
  startup.hStdError = output.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return {0xFFFFFFFF, "start failed " + std::to_string(GetLastError())};
  }
  UniqueHandle process_handle(process.hProcess);
  UniqueHandle thread_handle(process.hThread);
  output.reset();
  Ending ending;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &ending.exit_code);
  ending.output = test::read_file(output_file).value_or("(no output file)");
  return ending;
}

// libstdc++'s default handler would write the exception's type to standard error and abort
// (exit code 3); ours ends the process at once through fail-fast, without a word.
TEST(Terminate, AnUncaughtExceptionOrTerminateFailsFastSilently) {
  const std::string folder = test::fresh_folder("terminate");
  for (const wchar_t* mode : {L"throw", L"terminate"}) {
    SCOPED_TRACE(from_wide(mode));
    const Ending ending = run_probe(KORAVANE_TERMINATE_PROBE, mode, join_path(folder, "output.txt"));
    EXPECT_EQ(ending.output, "started\r\n");  // standard output is in text mode
    // Windows and Wine 8 end a fail-fast process with STATUS_FAIL_FAST_EXCEPTION; our fallback
    // after it uses STATUS_STACK_BUFFER_OVERRUN.
    EXPECT_TRUE(ending.exit_code == 0xC0000602 || ending.exit_code == 0xC0000409)
        << std::hex << ending.exit_code;
  }
}

// Exhausted memory, an impossible length, an empty function called: where libstdc++ would throw,
// the replacements Uninstall.exe links end the process at once, as the terminate handler does;
// nothing may carry on as if it had got what it asked for.
TEST(Terminate, WhatLibstdcxxWouldThrowFailsFastSilently) {
  const std::string folder = test::fresh_folder("fail-fast");
  for (const wchar_t* mode : {L"memory", L"length", L"function"}) {
    SCOPED_TRACE(from_wide(mode));
    const Ending ending = run_probe(KORAVANE_FAIL_FAST_PROBE, mode, join_path(folder, "output.txt"));
    EXPECT_EQ(ending.output, "started\r\n");
    EXPECT_TRUE(ending.exit_code == 0xC0000602 || ending.exit_code == 0xC0000409)
        << std::hex << ending.exit_code;
  }
}

}  // namespace
}  // namespace koravane
