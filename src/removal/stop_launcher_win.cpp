#include <string>
#include <vector>

#include "platform/clock_win.h"
#include "platform/env.h"
#include "removal/running_programs.h"
#include "removal/stop_launcher.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {
namespace {

// The top-level names of the root, for the launcher entries a launcher-only removal takes. A root
// that cannot be listed has none we could name; its removal then fails and says so.
std::vector<std::string> top_level_names(const std::string& root) {
  std::vector<std::string> names;
  (void)visit_folder_entries(root, [&](std::string_view name) {
    names.emplace_back(name);
    return false;
  });
  return names;
}

void close_programs_of_the_removal(std::string_view install_root, RemovalMode mode) {
  const OsResult<std::string> root = absolute_path(install_root);
  if (!root) return;
  const std::vector<std::string> names =
      mode == RemovalMode::launcher_only ? top_level_names(root.value()) : std::vector<std::string>{};
  close_programs_within(removal_areas(mode, root.value(), names), root.value(), install_root);
}

}  // namespace

void stop_processes(const std::vector<ChildCommand>& commands, std::string_view install_root,
                    RemovalMode mode) {
  for (const ChildCommand& command : commands) {
    (void)run_child(command);  // nothing to do about a tool that failed or found nothing
  }
  close_programs_of_the_removal(install_root, mode);
  pause_at_least(800);  // ended processes release their files as they go
}

void stop_launcher_processes(std::string_view install_root, RemovalMode mode) {
  stop_processes(launcher_stop_commands(), install_root, mode);
}

}  // namespace koravane
