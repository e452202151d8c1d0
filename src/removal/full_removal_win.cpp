#include "platform/env.h"
#include "platform/os_text.h"
#include "platform/path_text.h"
#include "platform/run_context.h"
#include "platform/run_log.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/root_clearing.h"
#include "removal/tree_removal.h"

namespace koravane {

RemovalOutcome run_full_removal(const RunContext& context, RemovalProgress* progress) {
  if (const auto appdata = read_env_var("APPDATA")) {
    // Missing settings count as removed; stubborn ones are logged, and the run goes on.
    const std::string settings = settings_folder(*appdata);
    const OsStatus removed = remove_tree_with_retries(settings, progress);
    context.log.append(removed ? "settings removed: " + display_text(settings)
                               : fail_line(settings, removed.error().code));
  }
  const std::string& root = context.root.absolute;
  RemovalOutcome outcome;
  OsStatus removed = os_success();
  // The running uninstaller cannot delete itself: with it in the root, a tree removal would only
  // stop and retry there, so the rest goes beside it and the root waits for the script.
  const PathForms executable{context.executable, context.executable_final};
  if (const std::optional<OsStatus> cleared = clear_root_beside(root_forms(context.root), executable, progress)) {
    removed = *cleared;
    outcome.deferred_paths.push_back(root);
  } else if (removed = remove_tree_with_retries(root, progress); !removed) {
    outcome.deferred_paths.push_back(root);
  }
  if (!removed) {
    context.log.append(fail_line(context.root.path, removed.error().code));
    outcome.complete = false;
  }
  return outcome;
}

}  // namespace koravane
