#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/os_text_win.h"
#include "platform/path_identity.h"
#include "platform/processes_win.h"
#include "removal/running_programs.h"
#include "run/detach.h"
#include "run/detach_win.h"

namespace koravane {
namespace {

// The first copy exits right after starting this one; the bound only keeps a hang from holding
// the run forever.
constexpr DWORD kFirstCopyExitWait = 60000;

// The hidden word of a continued run, taken out of this process's environment at once.
std::optional<std::string> take_continued_run() {
  std::optional<std::string> word = read_env_var(kContinuedRunVariable);
  if (word) SetEnvironmentVariableW(to_wide(kContinuedRunVariable).c_str(), nullptr);
  return word;
}

// A first copy that has gone (or whose id is now another process's) is not waited for.
void wait_for_first_copy(const FirstCopy& first) {
  const UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, first.id));
  if (process && process_creation_time(process.get()) == first.created) {
    WaitForSingleObject(process.get(), kFirstCopyExitWait);
  }
}

JobLimits job_limits() {
  JobLimits job;
  BOOL in_job = FALSE;
  if (!IsProcessInJob(GetCurrentProcess(), nullptr, &in_job)) {
    job.in_job = true;  // cannot tell: as careful as with a job that may end the run
    job.known = false;
    return job;
  }
  job.in_job = in_job != FALSE;
  if (!job.in_job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof(limits), nullptr)) {
    job.known = false;
    return job;
  }
  const DWORD flags = limits.BasicLimitInformation.LimitFlags;
  job.known = flags != 0;  // Wine answers without the limits it enforces
  job.kill_on_close = (flags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) != 0;
  job.breakaway_ok = (flags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) != 0;
  job.silent_breakaway_ok = (flags & JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK) != 0;
  return job;
}

bool has_stoppable_ancestor(const RunContext& context) {
  ProcessSnapshot snapshot = snapshot_processes(0);
  const std::vector<size_t> chain = ancestors_of(snapshot.entries, GetCurrentProcessId());
  if (chain.empty()) return false;
  const UninstallerCopies copies = uninstaller_copies(context);
  return std::any_of(chain.begin(), chain.end(), [&](size_t i) {
    ProcessEntry& ancestor = snapshot.entries[i];
    if (ancestor.image) ancestor.image = file_forms(ancestor.image->path.spelled);
    return may_be_stopped(ancestor, root_forms(context.root), copies);
  });
}

std::u16string own_environment() {
  const UniqueEnvironmentStrings strings(GetEnvironmentStringsW());
  if (!strings) return std::u16string(2, u'\0');
  const wchar_t* end = strings.get();
  while (*end != L'\0') end += std::wcslen(end) + 1;
  return std::u16string(reinterpret_cast<const char16_t*>(strings.get()), end - strings.get() + 1);
}

// Starts the new copy suspended, lets it take the foreground that this copy was given, then lets it run.
std::optional<OsError> start_new_copy(const std::string& executable, bool breakaway) {
  const FirstCopy first{GetCurrentProcessId(), process_creation_time(GetCurrentProcess())};
  const std::u16string environment =
      environment_with(own_environment(), utf16_from_wtf8(kContinuedRunVariable),
                       utf16_from_wtf8(continued_run_value(first)));
  std::wstring command_line = GetCommandLineW();
  STARTUPINFOW own{};
  GetStartupInfoW(&own);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = own.dwFlags & STARTF_USESHOWWINDOW;
  startup.wShowWindow = own.wShowWindow;
  const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | (breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(to_wide(executable).c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      flags, const_cast<char16_t*>(environment.c_str()), nullptr, &startup, &info)) {
    return OsError{GetLastError()};
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  AllowSetForegroundWindow(info.dwProcessId);  // refused when this copy has no foreground to give
  if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    const OsError error{GetLastError()};
    TerminateProcess(process.get(), 1);  // never ran: this copy goes on instead
    return error;
  }
  return std::nullopt;
}

}  // namespace

Continuation continue_outside_the_launcher(const RunContext& context) {
  if (const std::optional<std::string> word = take_continued_run()) {
    if (const std::optional<FirstCopy> first = parse_continued_run_value(*word)) wait_for_first_copy(*first);
    return {};  // a continued run never moves on again
  }
  const DetachPlan plan = plan_detach(has_stoppable_ancestor(context), job_limits());
  if (!plan.detach) return {};
  const OsResult<std::string> executable = own_executable_path();
  if (!executable) return {false, executable.error()};
  std::optional<OsError> failure = start_new_copy(executable.value(), plan.breakaway);
  if (failure && failure->code == ERROR_ACCESS_DENIED && plan.stay_if_refused) {
    failure = start_new_copy(executable.value(), false);  // the job keeps it but may not end it
  }
  if (failure) return {false, failure};
  return {true, std::nullopt};
}

}  // namespace koravane
