#pragma once
// A copy of a program started from a chosen path, as a stand-in for a running launcher, game or
// another application's program; it is ended when the object goes, unless it ended before.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "support/ready_file_win.h"
#include "support/test_files_win.h"

namespace koravane::test {

// Ends a process this test started when the scope goes, unless it has ended before.
struct EndedOnExit {
  HANDLE process;
  ~EndedOnExit() {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
  }
};

class RunningCopy {
 public:
  // Copies program to path (its folders are created) and starts it with command_line.
  RunningCopy(const std::string& program, const std::string& path, std::wstring command_line) {
    create_folders(parent_path(path).value_or(""));
    CopyFileW(to_wide(program).c_str(), to_wide(path).c_str(), FALSE);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(to_wide(path).c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, &startup, &info)) {
      process_.reset(info.hProcess);
      id_ = info.dwProcessId;
      const UniqueHandle thread(info.hThread);
    }
  }
  ~RunningCopy() {
    if (running()) TerminateProcess(process_.get(), 0);
  }
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  DWORD id() const { return id_; }
  bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // The exit code once it has ended within wait_ms, else nothing.
  std::optional<DWORD> exit_code(DWORD wait_ms) const {
    if (!process_ || WaitForSingleObject(process_.get(), wait_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 protected:
  HANDLE process() const { return process_.get(); }

 private:
  static void create_folders(const std::string& folder) {
    if (folder.empty() || CreateDirectoryW(to_wide(folder).c_str(), nullptr)) return;
    if (GetLastError() != ERROR_PATH_NOT_FOUND) return;
    if (const auto parent = parent_path(folder)) create_folders(*parent);
    CreateDirectoryW(to_wide(folder).c_str(), nullptr);
  }

  UniqueHandle process_;
  DWORD id_ = 0;
};

// A copy of the idle stand-in (support/idle) started from path, with options when given,
// constructed once it has said that it runs (or has failed to within a minute: ready() tells).
class IdleCopy : public RunningCopy {
 public:
  IdleCopy(const std::string& idle_program, const std::string& path, const std::wstring& options = L"")
      : IdleCopy(idle_program, path, options, join_path(fresh_folder("ready"), "ready.txt")) {}
  bool ready() const { return ready_; }

 private:
  IdleCopy(const std::string& idle_program, const std::string& path, const std::wstring& options,
           const std::string& ready_file)
      : RunningCopy(idle_program, path,
                    L"\"" + to_wide(path) + L"\" --ready \"" + to_wide(ready_file) + L"\" " + options) {
    ready_ = process() && wait_for_ready_file(to_wide(ready_file), process());
  }
  bool ready_ = false;
};

}  // namespace koravane::test
