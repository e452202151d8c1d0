#include "platform/env.h"
#include "platform/os_text.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/root_clearing.h"
#include "removal/tree_removal.h"

namespace koravane {

RemovalOutcome run_full_removal(std::string_view install_root) {
  if (const auto appdata = read_env_var("APPDATA")) {
    // Missing settings count as removed; stubborn ones are logged, and the run goes on.
    const std::string settings = settings_folder(*appdata);
    const OsStatus removed = remove_tree_with_retries(settings);
    const std::string shown = display_text(settings);
    append_run_log(install_root, removed ? "settings removed: " + shown
                                         : "fail " + shown + ": " + os_error_text(removed.error().code));
  }
  // The running uninstaller cannot delete itself: with it in the root, a tree removal would only
  // stop and retry there, so the rest goes beside it and the root waits for the script.
  if (clear_root_beside_own_executable(install_root) || !remove_tree_with_retries(install_root)) {
    return {{std::string(install_root)}};
  }
  return {};
}

}  // namespace koravane
