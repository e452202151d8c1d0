// Stands in for a running launcher that started other programs (the uninstaller from its menu, a
// game) and runs on, windowless, until it is ended from outside:
//   launcher --ready FILE [--job kill|breakaway|silent] [--exits FILE]
//            (--child COMMAND_LINE | --job-child COMMAND_LINE | --wait FILE)...
//   --job      makes a job that ends its processes when the launcher goes (its handle closes),
//              and lets them leave it: never ("kill"), when they ask ("breakaway"), or their
//              children without asking ("silent", as a common desktop runtime sets it);
//   --child    starts a program (the whole command line, the program's path first);
//   --job-child starts it inside the job;
//   --wait     waits (a minute at most) until FILE exists before it starts the next child, as a
//              person plays for a while before choosing "uninstall" in the launcher's menu;
//   --exits    appends "<n> exited <code>" for the n-th child started as it exits;
//   --ready    written once every child runs (support/ready_file_win.h).
// Exit 1 on a usage error, 2 when the job or a child cannot be made or a FILE never comes (no
// ready file then).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "support/ready_file_win.h"

namespace {

using koravane::UniqueHandle;

DWORD job_limits(const std::wstring& kind) {
  if (kind == L"kill") return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (kind == L"breakaway") return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (kind == L"silent") {
    return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  }
  return 0;
}

UniqueHandle make_job(DWORD limits) {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
  info.BasicLimitInformation.LimitFlags = limits;
  if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &info, sizeof(info))) {
    job.reset();
  }
  return job;
}

struct Child {
  UniqueHandle process;
  size_t position = 0;  // 1 for the first child started
};

// Started suspended, so that it is in the job before it runs a single instruction.
bool start(std::wstring command_line, HANDLE job, std::vector<Child>& children) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  children.push_back({UniqueHandle(info.hProcess), children.size() + 1});
  const UniqueHandle thread(info.hThread);
  if (job && !AssignProcessToJobObject(job, info.hProcess)) {
    TerminateProcess(info.hProcess, 1);
    return false;
  }
  return ResumeThread(thread.get()) != static_cast<DWORD>(-1);
}

void record_exit(const std::wstring& record, const Child& child) {
  DWORD code = 0;
  GetExitCodeProcess(child.process.get(), &code);
  UniqueHandle file(CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, 0, nullptr));
  const std::string line = std::to_string(child.position) + " exited " + std::to_string(code) + "\n";
  DWORD written = 0;
  if (file) WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool wait_for_file(const std::wstring& path) {
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring ready, exits, job_kind;
  struct Step {
    std::wstring option, value;
  };
  std::vector<Step> steps;  // children to start and files to wait for, in order
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i], value = argv[i + 1];
    if (option == L"--ready") {
      ready = value;
    } else if (option == L"--exits") {
      exits = value;
    } else if (option == L"--job" && job_limits(value) != 0) {
      job_kind = value;
    } else if (option == L"--child" || option == L"--job-child" || option == L"--wait") {
      steps.push_back({option, value});
    } else {
      return 1;
    }
  }
  if (argc % 2 == 0) return 1;
  UniqueHandle job;
  if (!job_kind.empty()) {
    job = make_job(job_limits(job_kind));
    if (!job) return 2;
  }
  std::vector<Child> children;
  for (const Step& step : steps) {
    if (step.option == L"--wait") {
      if (!wait_for_file(step.value)) return 2;
      continue;
    }
    const bool in_job = step.option == L"--job-child";
    if (in_job && !job) return 1;
    if (!start(step.value, in_job ? job.get() : nullptr, children)) return 2;
  }
  if (!ready.empty() && !koravane::test::write_ready_file(ready)) return 2;
  // Notes each child's exit as it comes, then runs on until ended.
  std::vector<HANDLE> waiting;
  for (const Child& child : children) waiting.push_back(child.process.get());
  while (!waiting.empty()) {
    const DWORD which = WaitForMultipleObjects(static_cast<DWORD>(waiting.size()), waiting.data(), FALSE, INFINITE);
    if (which >= WAIT_OBJECT_0 + waiting.size()) break;
    for (const Child& child : children) {
      if (child.process.get() == waiting[which - WAIT_OBJECT_0] && !exits.empty()) record_exit(exits, child);
    }
    waiting.erase(waiting.begin() + (which - WAIT_OBJECT_0));
  }
  Sleep(INFINITE);
  return 0;
}
