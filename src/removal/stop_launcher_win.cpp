#include <string>
#include <vector>

#include "platform/clock_win.h"
#include "platform/env.h"
#include "removal/stop_launcher.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {

StopOutcome stop_processes(const std::vector<TaskKillLine>& lines, const RunContext& context,
                           RemovalMode mode) {
  // The launcher entries a launcher-only removal takes. A root that cannot be listed has none we
  // could name; its removal then fails and says so.
  const std::vector<std::string> names =
      mode == RemovalMode::launcher_only ? list_folder_names(context.root.absolute).names
                                         : std::vector<std::string>{};
  const StopScope scope{mode, removal_areas(mode, root_forms(context.root), names), uninstaller_copies(context)};
  const StopOutcome outcome = stop_running_programs(lines, scope, context.log);
  if (outcome.lines_run > 0 || outcome.asked > 0 || outcome.ended > 0) {
    pause_at_least(800);  // ended processes release their files as they go
  }
  return outcome;
}

void stop_launcher_processes(const RunContext& context, RemovalMode mode) {
  (void)stop_processes(launcher_stop_commands(mode), context, mode);
}

}  // namespace koravane
