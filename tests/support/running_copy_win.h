#pragma once
// A copy of a program started from a chosen path, as a stand-in for a running launcher, game or
// another application's program; it is ended when the object goes, unless it ended before.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"

namespace koravane::test {

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
      CloseHandle(info.hThread);
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

}  // namespace koravane::test
