#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/os_text.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/entry_removal.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"

namespace koravane {
namespace {

// Removes one top-level entry if it is the launcher's; false when it failed (logged).
bool handle_entry(std::string_view install_root, const std::string& raw,
                  std::vector<std::string>& deferred) {
  const std::string name = display_text(raw);
  if (!is_launcher_entry(name)) return true;
  const std::string path = join_path(install_root, raw);
  if (is_deferred_entry(name)) {
    deferred.push_back(path);
    return true;
  }
  const OsStatus status = remove_entry(path);
  append_run_log(install_root, status ? "removed " + name : fail_line(name, status.error().code));
  return status.ok();
}

}  // namespace

RemovalOutcome run_launcher_only_removal(std::string_view install_root) {
  const FolderNames listed = list_folder_names(install_root);
  if (!listed.status && !listed.status.error().part_way) {
    append_run_log(install_root, "readdir: " + os_error_text(listed.status.error().error.code));
    return {{}, false};
  }
  RemovalOutcome outcome;
  for (const std::string& raw : listed.names) {
    outcome.complete = handle_entry(install_root, raw, outcome.deferred_paths) && outcome.complete;
  }
  // The entries listed before a listing failure are handled; the rest were never seen.
  if (!listed.status) {
    append_run_log(install_root, fail_line(install_root, listed.status.error().error.code));
    outcome.complete = false;
  }
  return outcome;
}

}  // namespace koravane
