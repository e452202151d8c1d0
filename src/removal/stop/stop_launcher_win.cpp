#include <string>
#include <vector>

#include "platform/basics/clock_win.h"
#include "removal/stop/stop_launcher.h"
#include "removal/stop/stop_launcher_commands.h"

namespace koravane {

StopOutcome stop_processes(const std::vector<TaskKillLine>& lines, const RunContext& context,
                           RemovalMode mode) {
  const StopScope scope{mode, removal_areas(context, mode), uninstaller_copies(context)};
  const StopOutcome outcome = stop_running_programs(lines, scope, context.log);
  if (outcome.lines_run > 0 || outcome.asked > 0 || outcome.ended > 0) {
    pause_at_least(800);  // ended processes release their files as they go
  }
  return outcome;
}

std::vector<std::string> stop_launcher_processes(const RunContext& context, RemovalMode mode) {
  return stop_processes(launcher_stop_commands(mode), context, mode).left_running;
}

}  // namespace koravane
