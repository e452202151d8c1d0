#include "platform/env.h"
#include "platform/path_text.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/root_clearing.h"
#include "removal/tree_removal.h"
#include "platform/run_log.h"
#include "platform/os_text.h"
#include "selfdelete/self_delete.h"

namespace koravane {

void run_full_removal(std::string_view install_root) {
  if (const auto appdata = read_env_var("APPDATA")) {
    const std::string settings = settings_folder(*appdata);
    (void)remove_tree_with_retries(settings);  // missing or stubborn settings do not stop the run
    append_run_log(install_root, "settings removed: " + display_text(settings));
  }
  // The running uninstaller cannot delete itself: with it in the root, a tree removal would only
  // stop and retry there, so the rest goes beside it and the root waits for the script.
  if (clear_root_beside_own_executable(install_root) || !remove_tree_with_retries(install_root)) {
    schedule_self_deletion({std::string(install_root)}, install_root);
  }
}

}  // namespace koravane
