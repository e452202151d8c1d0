#include <algorithm>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/tree/entry_removal.h"
#include "removal/steps/layout.h"
#include "removal/steps/removal_steps.h"
#include "removal/steps/root_clearing.h"

namespace koravane {
namespace {

// Launcher entries this pass removes itself; the deferred ones go to the script.
bool is_removed_here(std::string_view name) { return is_launcher_entry(name) && !is_deferred_entry(name); }

// One pass over the root's top level, and what of it stayed.
class LauncherPass {
 public:
  LauncherPass(const RunContext& context, RemovalProgress* progress)
      : context_(context), progress_(progress) {}

  // Removes one top-level entry if it is the launcher's; what stays of it is kept to be named.
  void handle_entry(const std::string& raw) {
    const std::string name = display_text(raw);
    if (!is_launcher_entry(name)) {
      other_entries_ = true;
      return;
    }
    const std::string path = join_path(context_.root.absolute, raw);
    if (is_deferred_entry(name)) {
      deferred_.push_back(path);
      return;
    }
    StayedEntries stayed;
    if (remove_entry(path, {progress_, &stayed})) {
      context_.log.append("removed " + name);
    } else {
      stayed_.insert(stayed_.end(), stayed.begin(), stayed.end());
    }
    if (progress_ != nullptr) progress_->entries_done.fetch_add(1, std::memory_order_relaxed);
  }

  // While a launcher entry stays, the root's uninstaller stays with it and the script may try the
  // entries again; otherwise the set-aside executables are the script's.
  RemovalOutcome finish(const ListingStatus& listing) {
    // Named once the pass is over: removing "updates" takes every line written before it.
    LoggedStayedLines lines(context_.log);
    name_stayed(lines, stayed_, context_.root.absolute);
    lines.finish();
    // The entries listed before a listing failure are handled; the rest were never seen.
    if (!listing) context_.log.append(fail_line(context_.root.path, listing.error().error.code));
    const bool listed_whole = listing.ok();
    RemovalOutcome outcome{deferred_, stayed_.empty() && listed_whole, !stayed_.empty() || !listed_whole,
                           other_entries_, stayed_};
    if (outcome.way_back_kept) {
      std::erase_if(outcome.deferred_paths, [](const std::string& path) {
        return path_file_name(path) == kUninstallerName;
      });
      const std::vector<std::string> again = entries_to_try_again(context_.root.absolute, stayed_);
      outcome.deferred_paths.insert(outcome.deferred_paths.end(), again.begin(), again.end());
    }
    return outcome;
  }

 private:
  const RunContext& context_;
  RemovalProgress* progress_;
  StayedEntries stayed_;
  std::vector<std::string> deferred_;
  bool other_entries_ = false;
};

}  // namespace

RemovalOutcome run_launcher_only_removal(const RunContext& context, RemovalProgress* progress) {
  const FolderNames listed = list_folder_names(context.root.absolute);
  if (!listed.status && !listed.status.error().part_way) {
    context.log.append("readdir: " + os_error_text(listed.status.error().error.code));
    return {{}, false, true};  // nothing was removed: the way back stays
  }
  if (progress != nullptr) {
    progress->entries_total = static_cast<uint64_t>(std::count_if(
        listed.names.begin(), listed.names.end(),
        [](const std::string& raw) { return is_removed_here(display_text(raw)); }));
  }
  LauncherPass pass(context, progress);
  for (const std::string& raw : listed.names) pass.handle_entry(raw);
  return pass.finish(listed.status);
}

}  // namespace koravane
