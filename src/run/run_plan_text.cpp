#include "run/run_plan_text.h"

#include "platform/os_text.h"

namespace koravane {

std::string start_line(bool quiet, std::string_view install_root) {
  std::string line = "Uninstall ";
  line += kLauncherVersion;
  line += " start quiet=";
  line += quiet ? "true" : "false";
  line += " root=";
  line += display_text(install_root);
  return line;
}

}  // namespace koravane
