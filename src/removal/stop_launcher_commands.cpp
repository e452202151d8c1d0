#include "removal/stop_launcher_commands.h"

#include <string>

namespace koravane {

std::vector<ChildCommand> launcher_stop_commands(std::string_view task_kill_program) {
  std::vector<ChildCommand> commands;
  for (const std::string_view image : kLauncherImages) {
    ChildCommand command{std::string(task_kill_program)};
    command.arg("/F").arg("/IM").arg(std::string(image)).arg("/T");
    command.standard_output = StdioDisposition::null_device;
    command.standard_error = StdioDisposition::null_device;
    command.creation_flags = kCreateNoWindow;
    commands.push_back(std::move(command));
  }
  return commands;
}

}  // namespace koravane
