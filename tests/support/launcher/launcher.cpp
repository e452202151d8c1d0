// Stands in for a running launcher that started other programs (the uninstaller from its menu, a
// game) and runs on, windowless, until it is ended from outside:
//   launcher --ready FILE [--job none|kill|breakaway|silent] [--exits FILE [--left FOLDER]]
//            (--child COMMAND_LINE | --job-child COMMAND_LINE | --wait FILE | --in FOLDER)...
//   --job      makes a job: without limits ("none", as deployment agents and scripts track what
//              they start), or one that ends its processes when the launcher goes (its handle
//              closes) and lets them leave it: never ("kill"), when they ask ("breakaway"), or
//              their children without asking ("silent", as a common desktop runtime sets it);
//   --child    starts a program (the whole command line, the program's path first);
//   --job-child starts it inside the job;
//   --wait     waits (a minute at most) until FILE exists before it starts the next child, as a
//              person plays for a while before choosing "uninstall" in the launcher's menu;
//   --in       starts the children after it in FOLDER (before: in its own working folder), as a
//              launcher starts the game in the game's folder;
//   --exits    appends "<n> started <id>:<creation time>" for the n-th child started as it
//              starts, and "<n> exited <code>" as it exits;
//   --left     then also "<n> left <path>" for each file below FOLDER at that moment, the path
//              relative to FOLDER: what the child had left when its waiter got control back;
//   --ready    written once every child runs (support/ready_file_win.h).
// Exit 1 on a usage error, 2 when the job or a child cannot be made or a FILE never comes (no
// ready file then).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "support/ready_file_win.h"

namespace {

using koravane::UniqueFindHandle;
using koravane::UniqueHandle;

std::optional<DWORD> job_limits(const std::wstring& kind) {
  if (kind == L"none") return 0;
  if (kind == L"kill") return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (kind == L"breakaway") return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (kind == L"silent") {
    return JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  }
  return std::nullopt;
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

void append_record(const std::wstring& path, const std::string& lines) {
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
}

// Started suspended, so that it is in the job before it runs a single instruction.
bool start(std::wstring command_line, HANDLE job, const std::wstring& folder, std::vector<Child>& children,
           const std::wstring& exits) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  children.push_back({UniqueHandle(info.hProcess), children.size() + 1});
  const UniqueHandle thread(info.hThread);
  if (job && !AssignProcessToJobObject(job, info.hProcess)) {
    TerminateProcess(info.hProcess, 1);
    return false;
  }
  if (!exits.empty()) {
    append_record(exits, std::to_string(children.size()) + " started " + std::to_string(info.dwProcessId) + ":" +
                      std::to_string(koravane::test::creation_time(info.hProcess)) + "\n");
  }
  return ResumeThread(thread.get()) != static_cast<DWORD>(-1);
}


std::string utf8(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

// "<prefix><path>\n" for each file below folder, the path relative to it (UTF-8).
std::string files_below(const std::wstring& folder, const std::string& prefix, const std::wstring& relative = L"") {
  std::string lines;
  WIN32_FIND_DATAW found{};
  const UniqueFindHandle find(FindFirstFileW((folder + L"\\" + relative + L"*").c_str(), &found));
  for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found)) {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      lines += files_below(folder, prefix, relative + name + L"\\");
    } else {
      lines += prefix + utf8(relative + name) + "\n";
    }
  }
  return lines;
}

void record_exit(const std::wstring& exits, const std::wstring& left, const Child& child) {
  DWORD code = 0;
  GetExitCodeProcess(child.process.get(), &code);
  const std::string position = std::to_string(child.position);
  std::string lines = position + " exited " + std::to_string(code) + "\n";
  if (!left.empty()) lines += files_below(left, position + " left ");
  append_record(exits, lines);
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
  std::wstring ready, exits, left, job_kind;
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
    } else if (option == L"--left") {
      left = value;
    } else if (option == L"--job" && job_limits(value)) {
      job_kind = value;
    } else if (option == L"--child" || option == L"--job-child" || option == L"--wait" || option == L"--in") {
      steps.push_back({option, value});
    } else {
      return 1;
    }
  }
  if (argc % 2 == 0) return 1;
  UniqueHandle job;
  if (!job_kind.empty()) {
    job = make_job(*job_limits(job_kind));
    if (!job) return 2;
  }
  std::vector<Child> children;
  std::wstring folder;
  for (const Step& step : steps) {
    if (step.option == L"--wait") {
      if (!wait_for_file(step.value)) return 2;
      continue;
    }
    if (step.option == L"--in") {
      folder = step.value;
      continue;
    }
    const bool in_job = step.option == L"--job-child";
    if (in_job && !job) return 1;
    if (!start(step.value, in_job ? job.get() : nullptr, folder, children, exits)) return 2;
  }
  if (!ready.empty() && !koravane::test::write_ready_file(ready)) return 2;
  // Notes each child's exit as it comes, then runs on until ended.
  std::vector<HANDLE> waiting;
  for (const Child& child : children) waiting.push_back(child.process.get());
  while (!waiting.empty()) {
    const DWORD which = WaitForMultipleObjects(static_cast<DWORD>(waiting.size()), waiting.data(), FALSE, INFINITE);
    if (which >= WAIT_OBJECT_0 + waiting.size()) break;
    for (const Child& child : children) {
      if (child.process.get() == waiting[which - WAIT_OBJECT_0] && !exits.empty()) record_exit(exits, left, child);
    }
    waiting.erase(waiting.begin() + (which - WAIT_OBJECT_0));
  }
  Sleep(INFINITE);
  return 0;
}
