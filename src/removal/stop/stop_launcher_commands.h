#pragma once
// The task-kill children that end the launcher and its updater before anything is removed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/context/run_context.h"
#include "removal/steps/layout.h"
#include "removal/steps/removal_steps.h"
#include "removal/stop/running_programs.h"

namespace koravane {

// One awaited, windowless child per launcher image, in the images' order: tool /F /IM image, and
// in full removal /T, which ends what the launcher started with it; launcher-only removal keeps
// the game the launcher started. Output and errors are discarded.
std::vector<TaskKillLine> launcher_stop_commands(RemovalMode mode,
                                                 std::string_view task_kill_program = "taskkill");

// Windows only. Takes one snapshot of the running processes; asks the launcher's processes and
// the programs that must go (in full removal also what the launcher started) to close through
// their visible windows, waiting up to 10 s in all; then runs each line whose image still runs
// (another process than this one); then ends what is left running from what the mode removes.
// One run-log line per program asked or ended; then, when anything was done, a pause of at least
// 800 ms so that the ended processes release their files.
StopOutcome stop_processes(const std::vector<TaskKillLine>& lines, const RunContext& context,
                           RemovalMode mode);

}  // namespace koravane
