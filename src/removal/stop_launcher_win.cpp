#include <string>
#include <vector>

#include "platform/clock_win.h"
#include "platform/env.h"
#include "removal/running_programs.h"
#include "removal/stop_launcher.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {

void stop_processes(const std::vector<ChildCommand>& commands, const RunContext& context,
                    RemovalMode mode) {
  for (const ChildCommand& command : commands) {
    (void)run_child(command);  // nothing to do about a tool that failed or found nothing
  }
  // The launcher entries a launcher-only removal takes. A root that cannot be listed has none we
  // could name; its removal then fails and says so.
  const std::vector<std::string> names =
      mode == RemovalMode::launcher_only ? list_folder_names(context.root.absolute).names
                                         : std::vector<std::string>{};
  close_programs_within(removal_areas(mode, root_forms(context.root), names), context);
  pause_at_least(800);  // ended processes release their files as they go
}

void stop_launcher_processes(const RunContext& context, RemovalMode mode) {
  stop_processes(launcher_stop_commands(), context, mode);
}

}  // namespace koravane
