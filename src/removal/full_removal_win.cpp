#include "platform/env.h"
#include "platform/os_text.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/tree_removal.h"

namespace koravane {

RemovalOutcome run_full_removal(std::string_view install_root) {
  if (const auto appdata = read_env_var("APPDATA")) {
    const std::string settings = settings_folder(*appdata);
    (void)remove_tree_with_retries(settings);  // missing or stubborn settings do not stop the run
    append_run_log(install_root, "settings removed: " + display_text(settings));
  }
  if (remove_tree_with_retries(install_root)) return {};
  return {{std::string(install_root)}};
}

}  // namespace koravane
