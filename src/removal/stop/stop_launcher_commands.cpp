#include "removal/stop/stop_launcher_commands.h"

namespace koravane {

std::vector<TaskKillLine> launcher_stop_commands(RemovalMode mode, std::string_view task_kill_program) {
  std::vector<TaskKillLine> lines;
  for (const std::string_view image : kLauncherImages) {
    ChildCommand command{std::string(task_kill_program)};
    command.arg("/F").arg("/IM").arg(std::string(image));
    if (mode == RemovalMode::full) command.arg("/T");
    command.standard_output = StdioDisposition::null_device;
    command.standard_error = StdioDisposition::null_device;
    command.creation_flags = kCreateNoWindow;
    lines.push_back({image, std::move(command)});
  }
  return lines;
}

}  // namespace koravane
