#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/files/path_identity.h"
#include "platform/processes/processes_win.h"
#include "removal/stop/running_programs.h"
#include "run/detach/detach.h"
#include "run/detach/detach_win.h"
#include "run/root/working_folder.h"

// Lets every thread of a process run that was created suspended (ntdll; not in the SDK headers).
extern "C" NTSTATUS NTAPI NtResumeProcess(HANDLE process);

namespace koravane {
namespace {

// A relay ends right after it has started the copy that goes on; the bound only keeps a hang
// from holding the run forever.
constexpr DWORD kRelayWait = 60000;

// The hidden word of a continued run, taken out of this process's environment at once, whatever
// it says.
std::optional<std::string> take_continued_run() {
  std::optional<std::string> word = read_env_var(kContinuedRunVariable);
  if (word) SetEnvironmentVariableW(to_wide(kContinuedRunVariable).c_str(), nullptr);
  return word;
}

// Whether the system reads a job's limits back as they were set: a job of the run's own, made
// with kill-on-close and holding no process, read back. A system that answers every job with no
// limits at all says nothing about the job the run is in.
bool job_limits_read_truly() {
  const UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
    return false;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION read{};
  return QueryInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &read, sizeof(read), nullptr) &&
         (read.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) != 0;
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
  job.known = flags != 0 || job_limits_read_truly();
  job.kill_on_close = (flags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) != 0;
  job.breakaway_ok = (flags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) != 0;
  job.silent_breakaway_ok = (flags & JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK) != 0;
  return job;
}

bool has_stoppable_ancestor(const RunContext& context, ProcessSnapshot& snapshot) {
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

// A new copy of this program, created suspended: ended when it goes, unless it was let run.
class SuspendedCopy {
 public:
  explicit SuspendedCopy(const PROCESS_INFORMATION& info)
      : process_(info.hProcess), thread_(info.hThread), id_(info.dwProcessId) {}
  SuspendedCopy(SuspendedCopy&&) = default;
  SuspendedCopy& operator=(SuspendedCopy&&) = delete;
  ~SuspendedCopy() {
    if (process_ && !running_) TerminateProcess(process_.get(), 1);
  }
  HANDLE process() const { return process_.get(); }
  DWORD id() const { return id_; }
  // Lets it run, with the foreground this process was given (refused when it has none to give).
  OsStatus run() {
    AllowSetForegroundWindow(id_);
    if (ResumeThread(thread_.get()) == static_cast<DWORD>(-1)) return OsError{GetLastError()};
    running_ = true;
    return os_success();
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  DWORD id_ = 0;
  bool running_ = false;
};

// Same executable, command line, window state and the working folder this run was started in
// (where it found its root, before it left it); the variable names this process as the one that
// started it.
OsResult<SuspendedCopy> start_copy(const std::string& executable, const std::string& started_in, bool relay,
                                   bool breakaway) {
  const StartedBy by{GetCurrentProcessId(), process_creation_time(GetCurrentProcess()), relay};
  const std::u16string environment = environment_with(
      own_environment(), utf16_from_wtf8(kContinuedRunVariable), utf16_from_wtf8(continued_run_value(by)));
  std::wstring command_line = GetCommandLineW();
  STARTUPINFOW own{};
  GetStartupInfoW(&own);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = own.dwFlags & STARTF_USESHOWWINDOW;
  startup.wShowWindow = own.wShowWindow;
  const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | (breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0);
  PROCESS_INFORMATION info{};
  const std::wstring folder = to_wide(started_in);
  if (!CreateProcessW(to_wide(executable).c_str(), command_line.data(), nullptr, nullptr, FALSE, flags,
                      const_cast<char16_t*>(environment.c_str()), folder.empty() ? nullptr : folder.c_str(),
                      &startup, &info)) {
    return OsError{GetLastError()};
  }
  return SuspendedCopy(info);
}

bool in_a_job(HANDLE process) {
  BOOL in_job = FALSE;
  return !IsProcessInJob(process, nullptr, &in_job) || in_job != FALSE;  // cannot tell: as if it were
}

// The relay's work: starts the copy that goes on and hands it to the first copy, which waits for
// it; the result is the relay's exit code (read_relay_code).
uint32_t pass_on(const StartedBy& first, const std::string& started_in) {
  const OsResult<std::string> executable = own_executable_path();
  if (!executable) return relay_failure_code(executable.error().code);
  OsResult<SuspendedCopy> copy = start_copy(executable.value(), started_in, false, false);
  if (!copy) return relay_failure_code(copy.error().code);
  const UniqueHandle first_copy(OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, first.id));
  if (!first_copy || process_creation_time(first_copy.get()) != first.created) {
    return relay_failure_code(first_copy ? ERROR_INVALID_HANDLE : GetLastError());
  }
  HANDLE handed = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), copy.value().process(), first_copy.get(), &handed,
                       SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0)) {
    return relay_failure_code(GetLastError());
  }
  if (const OsStatus running = copy.value().run(); !running) {
    DuplicateHandle(first_copy.get(), handed, nullptr, nullptr, 0, FALSE, DUPLICATE_CLOSE_SOURCE);
    return relay_failure_code(running.error().code);
  }
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handed));
}

// The copy a relay that ended without saying which (ended from outside, or stuck and ended here)
// started: found by its parent, the relay, whose id stays its own while this process holds it,
// and let run, since the relay may have gone before it could. A copy already running is not
// changed by that.
OsResult<UniqueHandle> copy_left_by(const SuspendedCopy& relay, OsError why) {
  ProcessSnapshot snapshot = snapshot_processes(SYNCHRONIZE | PROCESS_SUSPEND_RESUME);
  const std::optional<size_t> copy =
      relayed_copy(snapshot.entries, relay.id(), process_creation_time(relay.process()));
  if (!copy || !snapshot.handles[*copy] || NtResumeProcess(snapshot.handles[*copy].get()) < 0) return why;
  return std::move(snapshot.handles[*copy]);
}

// The copy the relay handed over, once the relay has ended: a handle of this process's that the
// relay's exit code names, and that is a process started after the relay.
OsResult<UniqueHandle> handed_copy(SuspendedCopy& relay) {
  if (const OsStatus running = relay.run(); !running) return running.error();
  if (WaitForSingleObject(relay.process(), kRelayWait) != WAIT_OBJECT_0) {
    TerminateProcess(relay.process(), 1);
    WaitForSingleObject(relay.process(), kRelayWait);
    return copy_left_by(relay, OsError{WAIT_TIMEOUT});
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(relay.process(), &code)) return OsError{GetLastError()};
  const OsResult<uint32_t> value = read_relay_code(code);
  if (!value) {
    // Only a relay that says why it failed started no copy that runs.
    return value.error().code == ERROR_PROCESS_ABORTED ? copy_left_by(relay, value.error()) : value.error();
  }
  const HANDLE handed = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value.value()));
  // A code that is no such handle (the relay was ended from outside) must not close one of ours.
  if (handed == relay.process() || GetProcessId(handed) == 0 ||
      process_creation_time(handed) < process_creation_time(relay.process())) {
    return copy_left_by(relay, OsError{ERROR_PROCESS_ABORTED});
  }
  return UniqueHandle(handed);
}

Continuation stuck(IfStuck what, OsError error) {
  switch (what) {
    case IfStuck::say_and_stay:
      return {false, error, false};
    case IfStuck::stop:
      return {false, error, true};
    default:
      return {};
  }
}

// Hands the run on through the relay and waits for the copy that goes on to end, from outside the
// root and out of its own folder (the launcher's tree may end it meanwhile); whoever waits for this
// process then waits for the whole run.
Continuation hand_on(const DetachPlan& plan, OsResult<SuspendedCopy> relay, const std::string& run_folder) {
  if (!relay) return stuck(plan.if_failed, relay.error());
  // Checked before it runs: a job that kept it anyway would end the run with the launcher.
  if (plan.outside_job && in_a_job(relay.value().process())) {
    return stuck(plan.if_refused, OsError{ERROR_ACCESS_DENIED});
  }
  const OsResult<UniqueHandle> copy = handed_copy(relay.value());
  if (!copy) return stuck(plan.if_failed, copy.error());
  leave_run_folder(run_folder);
  WaitForSingleObject(copy.value().get(), INFINITE);
  return {true, std::nullopt, false};
}

// The first copy: the relay leaves the job as planned; where the job refuses and would not end
// the run anyway, it starts inside it.
Continuation move_on(const DetachPlan& plan, const RunContext& context) {
  const OsResult<std::string> executable = own_executable_path();
  if (!executable) return stuck(plan.if_failed, executable.error());
  const std::string& started_in = context.started_in;
  OsResult<SuspendedCopy> relay = start_copy(executable.value(), started_in, true, plan.breakaway);
  if (relay || !plan.breakaway || relay.error().code != ERROR_ACCESS_DENIED) {
    return hand_on(plan, std::move(relay), context.run_folder);
  }
  if (plan.if_refused != IfStuck::start_inside) return stuck(plan.if_refused, relay.error());
  return hand_on(plan, start_copy(executable.value(), started_in, true, false), context.run_folder);
}

// A relay ends at once once it has let the copy go on: no exit code of the process's own runs
// that could hold it on its way out, and the first copy reads its exit code as it was set.
[[noreturn]] void end_relay(uint32_t code) {
  TerminateProcess(GetCurrentProcess(), code);
  ExitProcess(code);  // only where the system would not end this process through its own handle
}

}  // namespace

Continuation continue_outside_the_launcher(const RunContext& context) {
  const std::optional<std::string> word = take_continued_run();
  const std::optional<StartedBy> by = word ? parse_continued_run_value(*word) : std::nullopt;
  bool relay = false;
  DetachPlan plan;
  {
    ProcessSnapshot snapshot = snapshot_processes(SYNCHRONIZE);
    const std::optional<size_t> parent = by ? named_parent(*by, snapshot.entries, GetCurrentProcessId()) : std::nullopt;
    if (parent && !by->relay) {
      // Once the relay has gone, this run descends from nothing the stop step may end.
      WaitForSingleObject(snapshot.handles[*parent].get(), kRelayWait);
      return {};  // a continued run never moves on again
    }
    relay = parent.has_value();
    if (!relay) plan = plan_detach(has_stoppable_ancestor(context, snapshot), job_limits());
  }
  if (relay) {
    const uint32_t code = pass_on(*by, context.started_in);
    leave_run_folder(context.run_folder);  // no exit code of its own runs to do it
    end_relay(code);
  }
  if (!plan.detach) return {};
  return move_on(plan, context);
}

}  // namespace koravane
