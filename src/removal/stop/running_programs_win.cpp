#include <windows.h>

#include <string>
#include <vector>

#include "platform/basics/clock_win.h"
#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"
#include "platform/processes/processes_win.h"
#include "removal/steps/layout.h"
#include "removal/stop/running_programs.h"

namespace koravane {
namespace {

constexpr uint32_t kCloseWait = 10000;  // ms, for all the programs asked together
constexpr uint32_t kExitWait = 5000;    // ms; an ended program lets go of its files as it exits

// A target as the step goes along, with the handle the snapshot opened it through: the handle
// waits for it and ends it, whichever process later gets its id.
struct Program {
  StopTarget target;
  HANDLE process = nullptr;  // borrowed from the snapshot; none where it would not open
  DWORD open_error = 0;      // why it would not
  DWORD id = 0;
  std::string image;
  bool asked = false;
  bool gone_before_lines = false;
};

bool has_exited(const Program& program) {
  return program.process && WaitForSingleObject(program.process, 0) == WAIT_OBJECT_0;
}

// A program the step could end is judged by what its executable is: each such image is opened
// once. The others keep the spelling the system gave.
void resolve_images(ProcessSnapshot& snapshot) {
  for (size_t i = 0; i < snapshot.entries.size(); ++i) {
    std::optional<FileForms>& image = snapshot.entries[i].image;
    if (snapshot.handles[i] && image) image = file_forms(image->path.spelled);
  }
}

// Only programs the step could wait for are asked: one it cannot open is not ours to close.
std::vector<Program> programs_of(const ProcessSnapshot& snapshot, const StopScope& scope) {
  std::vector<Program> programs;
  for (const StopTarget& target : stop_targets(snapshot.entries, GetCurrentProcessId(), scope)) {
    const ProcessEntry& entry = snapshot.entries[target.entry];
    programs.push_back({target, snapshot.handles[target.entry].get(), snapshot.open_errors[target.entry], entry.id,
                        entry.image ? entry.image->path.spelled : entry.name});
  }
  return programs;
}

// Posts WM_CLOSE to each visible top-level window of the programs, as a person closing them would.
BOOL CALLBACK ask_window_to_close(HWND window, LPARAM context) {
  auto& programs = *reinterpret_cast<std::vector<Program>*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  for (Program& program : programs) {
    if (program.process && program.id == owner && PostMessageW(window, WM_CLOSE, 0, 0)) {
      program.asked = true;
    }
  }
  return TRUE;
}

// Waits, within one deadline, for each program that matters to exit.
template <class Matters>
void wait_for(const std::vector<Program>& programs, uint32_t milliseconds, Matters matters) {
  const Deadline deadline(milliseconds);
  for (const Program& program : programs) {
    if (program.process && matters(program)) WaitForSingleObject(program.process, deadline.left());
  }
}

// Whether a process of the line's image, other than this one, may still run: one the step could
// not open counts as running.
bool image_still_runs(const std::vector<Program>& programs, size_t line) {
  for (const Program& program : programs) {
    if (program.target.image_line == line && (!program.process || !has_exited(program))) return true;
  }
  return false;
}

std::string end_program(const Program& program) {
  if (!TerminateProcess(program.process, 1)) {
    const DWORD error = GetLastError();
    if (!has_exited(program)) return fail_line(program.image, error);
    return closed_line(program.image);  // it went by itself meanwhile
  }
  switch (WaitForSingleObject(program.process, kExitWait)) {
    case WAIT_OBJECT_0:
      return ended_line(program.image);
    case WAIT_TIMEOUT:
      return fail_line(program.image, WAIT_TIMEOUT);  // still holds its files
    default:
      return fail_line(program.image, GetLastError());
  }
}

// Asks through the windows and waits for those asked; what closed is said at once, since a
// task-kill line may yet end this run (one that could not leave the launcher's tree).
void ask_to_close(std::vector<Program>& programs, const RunLog& log, StopOutcome& outcome) {
  EnumWindows(ask_window_to_close, reinterpret_cast<LPARAM>(&programs));
  wait_for(programs, kCloseWait, [](const Program& program) { return program.asked; });
  for (Program& program : programs) {
    program.gone_before_lines = has_exited(program);
    outcome.asked += program.asked ? 1 : 0;
    if (program.asked && program.gone_before_lines) log.append(closed_line(program.image));
  }
}

// In place of a line that would also reach another install: ends through their handles what the
// line would end of this install's (the image's processes, with "/T" what they started).
void end_as_the_line_would(const std::vector<Program>& programs, size_t line, StopOutcome& outcome) {
  for (const Program& program : programs) {
    const StopTarget& target = program.target;
    if ((target.image_line != line && target.tree_line != line) || !program.process || has_exited(program)) continue;
    if (TerminateProcess(program.process, 1)) ++outcome.ended;
  }
}

// Runs each line whose image still runs, or does its work itself where the line may not run;
// which ran, by position in the image list.
std::vector<bool> run_lines(const std::vector<TaskKillLine>& lines, const std::vector<Program>& programs,
                            const std::vector<bool>& may_run, StopOutcome& outcome) {
  std::vector<bool> ran(kLauncherImages.size(), false);
  for (const TaskKillLine& line : lines) {
    const std::optional<size_t> index = launcher_image_index(line.image);
    if (!index || !image_still_runs(programs, *index)) continue;
    ran[*index] = true;
    if (!may_run[*index]) {
      end_as_the_line_would(programs, *index, outcome);
      continue;
    }
    (void)run_child(line.command);  // nothing to do about a tool that failed or found nothing
    ++outcome.lines_run;
  }
  return ran;
}

// Ends what is left running from the areas and says what became of the rest.
void end_what_is_left(const std::vector<Program>& programs, const std::vector<bool>& ran, const RunLog& log,
                      StopOutcome& outcome) {
  const auto reached = [&](const Program& program) {
    const StopTarget& target = program.target;
    return (target.image_line && ran[*target.image_line]) || (target.tree_line && ran[*target.tree_line]);
  };
  // What the tool ended may take a moment to go: the step must not end it a second time, nor take
  // it for a program that refused to close.
  wait_for(programs, kExitWait,
           [&](const Program& program) { return reached(program) && (program.target.must_go || program.asked); });
  for (const Program& program : programs) {
    if (!program.process) {
      // Opening it for ending was refused: it stays, and holds what it holds.
      if (!program.target.must_go) continue;
      log.append(fail_line(program.image, program.open_error));
      outcome.left_running.push_back(program.image);
      continue;
    }
    if (program.asked && program.gone_before_lines) continue;
    if (!has_exited(program)) {
      if (!program.target.must_go) continue;  // not in what the mode removes: not ours to end
      log.append(end_program(program));
      ++outcome.ended;
      if (!has_exited(program)) outcome.left_running.push_back(program.image);
    } else if (const std::optional<std::string> line = gone_line(
                   program.image, program.asked, program.gone_before_lines, reached(program), program.target.must_go)) {
      log.append(*line);
    }
  }
}

}  // namespace

std::vector<PathForms> removal_areas(const RunContext& context, RemovalMode mode) {
  const std::vector<std::string> names = mode == RemovalMode::launcher_only
                                             ? list_folder_names(context.root.absolute).names
                                             : std::vector<std::string>{};
  return removal_areas(mode, root_forms(context.root), names);
}

UninstallerCopies uninstaller_copies(const RunContext& context) {
  UninstallerCopies copies;
  for (const std::string& path : {context.executable, join_path(context.root.absolute, "Uninstall.exe")}) {
    if (path.empty()) continue;
    const FileForms copy = file_forms(path);
    copies.paths.push_back(copy.path);
    if (copy.identity) copies.identities.push_back(*copy.identity);
  }
  return copies;
}

bool image_line_may_run_now(const RunContext& context, RemovalMode mode, std::string_view image) {
  const std::optional<size_t> line = launcher_image_index(image);
  if (!line) return false;
  // Only processes of the launcher's images count, each judged by what its executable is.
  ProcessSnapshot snapshot = snapshot_processes(0);
  std::vector<ProcessEntry> launchers;
  for (ProcessEntry& entry : snapshot.entries) {
    if (!launcher_image_index(entry.name)) continue;
    if (entry.image) entry.image = file_forms(entry.image->path.spelled);
    launchers.push_back(std::move(entry));
  }
  const StopScope scope{mode, removal_areas(context, mode), {}};
  return lines_that_may_run(launchers, scope)[*line];
}

StopOutcome stop_running_programs(const std::vector<TaskKillLine>& lines, const StopScope& scope,
                                  const RunLog& log) {
  StopOutcome outcome;
  ProcessSnapshot snapshot = snapshot_processes(PROCESS_TERMINATE | SYNCHRONIZE);
  resolve_images(snapshot);
  std::vector<Program> programs = programs_of(snapshot, scope);
  if (programs.empty()) return outcome;  // nothing runs that the step would touch
  const std::vector<bool> may_run = lines_that_may_run(snapshot.entries, scope);
  ask_to_close(programs, log, outcome);
  end_what_is_left(programs, run_lines(lines, programs, may_run, outcome), log, outcome);
  return outcome;
}

}  // namespace koravane
