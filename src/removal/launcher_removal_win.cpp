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
bool handle_entry(const RunContext& context, const std::string& raw, RemovalOutcome& outcome,
                  RemovalProgress* progress) {
  const std::string name = display_text(raw);
  if (!is_launcher_entry(name)) return true;
  const std::string path = join_path(context.root.absolute, raw);
  if (is_deferred_entry(name)) {
    outcome.deferred_paths.push_back(path);
    return true;
  }
  const OsStatus status = remove_entry(path, progress);
  context.log.append(status ? "removed " + name : fail_line(name, status.error().code));
  if (progress != nullptr) progress->entries_done.fetch_add(1, std::memory_order_relaxed);
  return status.ok();
}

}  // namespace

RemovalOutcome run_launcher_only_removal(const RunContext& context, RemovalProgress* progress) {
  const FolderNames listed = list_folder_names(context.root.absolute);
  if (!listed.status && !listed.status.error().part_way) {
    context.log.append("readdir: " + os_error_text(listed.status.error().error.code));
    return {{}, false};
  }
  if (progress != nullptr) {
    progress->entries_total = static_cast<uint64_t>(std::count_if(
        listed.names.begin(), listed.names.end(),
        [](const std::string& raw) { return is_removed_here(display_text(raw)); }));
  }
  RemovalOutcome outcome;
  for (const std::string& raw : listed.names) {
    outcome.complete = handle_entry(context, raw, outcome, progress) && outcome.complete;
  }
  // The entries listed before a listing failure are handled; the rest were never seen.
  if (!listed.status) {
    context.log.append(fail_line(context.root.path, listed.status.error().error.code));
    outcome.complete = false;
  }
  return outcome;
}

}  // namespace koravane
