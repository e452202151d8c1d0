#include <algorithm>
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

// Launcher entries this pass removes itself; the deferred ones go to the script.
bool is_removed_here(std::string_view name) { return is_launcher_entry(name) && !is_deferred_entry(name); }

// Removes one top-level entry if it is the launcher's; false when it failed (logged).
bool handle_entry(std::string_view install_root, const std::string& raw, RemovalOutcome& outcome,
                  RemovalProgress* progress) {
  const std::string name = display_text(raw);
  if (!is_launcher_entry(name)) return true;
  const std::string path = join_path(install_root, raw);
  if (is_deferred_entry(name)) {
    outcome.deferred_paths.push_back(path);
    return true;
  }
  const OsStatus status = remove_entry(path, progress);
  append_run_log(install_root, status ? "removed " + name : fail_line(name, status.error().code));
  if (progress != nullptr) progress->entries_done.fetch_add(1, std::memory_order_relaxed);
  return status.ok();
}

}  // namespace

RemovalOutcome run_launcher_only_removal(std::string_view install_root, RemovalProgress* progress) {
  const FolderNames listed = list_folder_names(install_root);
  if (!listed.status && !listed.status.error().part_way) {
    append_run_log(install_root, "readdir: " + os_error_text(listed.status.error().error.code));
    return {{}, false};
  }
  if (progress != nullptr) {
    progress->entries_total = static_cast<uint64_t>(std::count_if(
        listed.names.begin(), listed.names.end(),
        [](const std::string& raw) { return is_removed_here(display_text(raw)); }));
  }
  RemovalOutcome outcome;
  for (const std::string& raw : listed.names) {
    outcome.complete = handle_entry(install_root, raw, outcome, progress) && outcome.complete;
  }
  // The entries listed before a listing failure are handled; the rest were never seen.
  if (!listed.status) {
    append_run_log(install_root, fail_line(install_root, listed.status.error().error.code));
    outcome.complete = false;
  }
  return outcome;
}

}  // namespace koravane
