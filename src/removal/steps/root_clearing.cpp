#include "removal/steps/root_clearing.h"

#include <algorithm>
#include <iterator>

#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/steps/layout.h"
#include "removal/tree/tree_removal_core.h"

namespace koravane {
namespace {

using namespace removal_code;

bool is_already_gone(const OsStatus& status) {
  const uint32_t code = error_code(status);
  return code == kFileNotFound || code == kPathNotFound;
}

// A root that is a junction or a directory symbolic link naming another folder. A reparse point
// that names itself (a cloud placeholder, say) is an ordinary folder here.
bool is_directory_link(RemovalSystem& system, std::string_view root, std::string_view final) {
  if (same_path(root, final)) return false;
  const OsResult<FsHandle> opened = system.open_top(root, kAccessListDirectory);
  if (!opened) return false;
  const OwnedFsHandle handle = own_handle(system, opened.value());
  const OsResult<EntryFacts> facts = system.describe(handle.get());
  return facts && (facts.value().attributes & kAttributeDirectory) != 0 && is_link(facts.value());
}

// The entries left in place until the rest has gone, as comparable_path gives them.
std::vector<std::string> entries_kept_to_the_end(const RootRemovalRequest& request) {
  std::vector<std::string> kept = {comparable_path(kUninstallerName)};
  if (request.run_log_own) kept.push_back(comparable_path(join_path(kRunLogFolder, kRunLogFile)));
  if (request.running_entry) kept.push_back(*request.running_entry);
  for (const std::string& world : request.worlds_left) kept.push_back(comparable_path(relative_to(request.root, world)));
  return kept;
}

// The script's folder removal would take a world with the rest: what holds one is not handed to it.
void keep_worlds_from_the_script(std::vector<std::string>& deferred, const RootRemovalRequest& request) {
  std::erase_if(deferred, [&](const std::string& entry) {
    return std::any_of(request.worlds_left.begin(), request.worlds_left.end(), [&](const std::string& world) {
      const std::string below = relative_to(request.root, world);
      return same_path(path_file_name(entry), std::string_view(below).substr(0, below.find('\\')));
    });
  });
}

}  // namespace

std::vector<std::string> entries_to_try_again(std::string_view root, const StayedEntries& stayed) {
  std::vector<std::string> entries = top_level_entries(root, stayed);
  StayedEntries links;
  std::copy_if(stayed.begin(), stayed.end(), std::back_inserter(links), [](const StayedEntry& entry) { return entry.link; });
  const std::vector<std::string> holding_links = top_level_entries(root, links);
  // The run log names the root for the next run; the script must not take it. Nor may it walk a
  // tree holding a link that stayed: its folder removal may follow the link where ours would not.
  std::erase_if(entries, [&](const std::string& entry) {
    return same_path(path_file_name(entry), kRunLogFolder) ||
           std::find(holding_links.begin(), holding_links.end(), entry) != holding_links.end();
  });
  return entries;
}

std::string folder_emptied(RemovalSystem& system, std::string_view root, std::string_view final) {
  return std::string(is_directory_link(system, root, final) ? final : root);
}

std::optional<std::string> entry_holding(std::string_view root, std::string_view path) {
  std::string base = comparable_path(root);
  const std::string inner = comparable_path(path);
  if (!base.ends_with('\\')) base += '\\';  // a drive or share root keeps its own separator
  if (inner.size() <= base.size() || !inner.starts_with(base)) return std::nullopt;
  const std::string_view below = std::string_view(inner).substr(base.size());
  return std::string(below.substr(0, below.find('\\')));
}

std::optional<std::string> entry_holding(const PathForms& root, const PathForms& path) {
  if (std::optional<std::string> entry = entry_holding(root.final, path.final)) return entry;
  return entry_holding(root.spelled, path.spelled);
}

RootRemoval remove_install_root(RemovalSystem& system, bool& use_no_reparse,
                                const RootRemovalRequest& request, RemovalProgress* progress) {
  RootRemoval removal;
  // Through a link, the folder it names is worked on by its own path: the link is removed last.
  const std::string folder = folder_emptied(system, request.root, request.final);
  const bool link = folder != request.root;
  std::vector<std::string>& whole = removal.whole;
  whole = {folder};
  if (link) whole.push_back(request.root);

  // The folder is emptied whatever its listing says: a root that is a reparse point and was not
  // found to name another folder names itself. What the link names is a top as any other.
  const TreeRemovalOptions all_but_the_way_back{.progress = progress,
                                                .stayed = &removal.stayed,
                                                .kept = entries_kept_to_the_end(request),
                                                .path_is_folder = !link};
  // A world that stays keeps the way back, as any entry that stays does.
  if (!remove_tree_with_retries(system, use_no_reparse, folder, all_but_the_way_back) ||
      !request.worlds_left.empty()) {
    removal.way_back_kept = true;
    removal.deferred = entries_to_try_again(folder, removal.stayed);
    keep_worlds_from_the_script(removal.deferred, request);
    return removal;
  }
  if (request.running_entry) {
    removal.deferred = whole;
    return removal;
  }
  // From elsewhere: the uninstaller goes last of what the person could start again.
  const std::string uninstaller = join_path(folder, kUninstallerName);
  if (const OsStatus removed = remove_single_file(system, uninstaller); removed) {
    if (progress != nullptr) progress->count_file();
  } else if (!is_already_gone(removed)) {
    removal.stayed.push_back({uninstaller, removed.error().code});
    removal.way_back_kept = true;
    return removal;
  }
  // Then the log and the folder, and last the link that named it.
  const auto removed = [&](const std::string& path, bool as_link) {
    StayedEntries stayed;
    const OsStatus outcome = remove_tree_with_retries(
        system, use_no_reparse, path,
        {.progress = progress, .stayed = &stayed, .path_is_link = as_link, .path_is_folder = !link && !as_link});
    removal.stayed.insert(removal.stayed.end(), stayed.begin(), stayed.end());
    return outcome.ok();
  };
  if (!removed(folder, false) || (link && !removed(request.root, true))) removal.deferred = whole;
  return removal;
}

}  // namespace koravane
