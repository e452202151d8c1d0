#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/clock_win.h"
#include "platform/env.h"
#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_identity.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/running_programs.h"

namespace koravane {
namespace {

constexpr uint32_t kCloseWait = 10000;  // ms, for all the programs asked together
constexpr DWORD kExitWait = 5000;  // ms; an ended program lets go of its files as it exits

struct RunningProgram {
  DWORD id = 0;
  UniqueHandle process;  // the image was read on this handle, and this handle ends it
  std::string image;
  bool asked = false;
};

std::optional<std::string> process_image_path(HANDLE process) {
  std::wstring buffer(32768, L'\0');  // the longest path the system has
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return std::nullopt;
  buffer.resize(size);
  return from_wide(buffer);
}

// The executable as it was started and as what it is: opened once.
ProgramImage image_of(std::string image) {
  std::optional<ResolvedFile> resolved = resolve_file(image);
  if (!resolved) return ProgramImage{spelled_only(std::move(image)), std::nullopt};
  return ProgramImage{PathForms{std::move(image), std::move(resolved->final)}, resolved->identity};
}

// This executable and the root's own uninstaller, however the run or they were started.
UninstallerCopies uninstaller_copies(const RunContext& context) {
  UninstallerCopies copies;
  for (const std::string& path : {context.executable, join_path(context.root.absolute, "Uninstall.exe")}) {
    if (path.empty()) continue;
    const ProgramImage copy = image_of(path);
    copies.paths.push_back(copy.path);
    if (copy.identity) copies.identities.push_back(*copy.identity);
  }
  return copies;
}

// Programs the system will not let us inspect are none of ours: they are left alone.
std::vector<RunningProgram> programs_to_close(const std::vector<PathForms>& areas,
                                              const RunContext& context) {
  std::vector<RunningProgram> programs;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return programs;
  const UninstallerCopies copies = uninstaller_copies(context);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE,
                                     FALSE, entry.th32ProcessID));
    if (!process) continue;
    std::optional<std::string> image = process_image_path(process.get());
    if (!image || !must_close(image_of(*image), areas, copies)) continue;
    programs.push_back({entry.th32ProcessID, std::move(process), std::move(*image)});
  }
  return programs;
}

// Posts WM_CLOSE to each visible top-level window of the programs, as a person closing them would.
BOOL CALLBACK ask_window_to_close(HWND window, LPARAM context) {
  auto& programs = *reinterpret_cast<std::vector<RunningProgram>*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  for (RunningProgram& program : programs) {
    if (program.id == owner && PostMessageW(window, WM_CLOSE, 0, 0)) program.asked = true;
  }
  return TRUE;
}

void wait_for_the_asked(const std::vector<RunningProgram>& programs) {
  const Deadline deadline(kCloseWait);
  for (const RunningProgram& program : programs) {
    if (program.asked) WaitForSingleObject(program.process.get(), deadline.left());
  }
}

bool has_exited(const RunningProgram& program) {
  return WaitForSingleObject(program.process.get(), 0) == WAIT_OBJECT_0;
}

std::string end_program(const RunningProgram& program) {
  if (!TerminateProcess(program.process.get(), 1)) {
    const DWORD error = GetLastError();
    if (!has_exited(program)) return fail_line(program.image, error);
    return closed_line(program.image);  // it went by itself meanwhile
  }
  WaitForSingleObject(program.process.get(), kExitWait);
  return ended_line(program.image);
}

}  // namespace

void close_programs_within(const std::vector<PathForms>& areas, const RunContext& context) {
  if (areas.empty()) return;
  std::vector<RunningProgram> programs = programs_to_close(areas, context);
  if (programs.empty()) return;
  EnumWindows(ask_window_to_close, reinterpret_cast<LPARAM>(&programs));
  wait_for_the_asked(programs);
  for (const RunningProgram& program : programs) {
    context.log.append(has_exited(program) ? closed_line(program.image) : end_program(program));
  }
}

}  // namespace koravane
