#pragma once
// Full removal of the install root. Everything but the root's uninstaller and the run log goes
// first, going on past what cannot go; only when nothing else stayed do those two and the root
// follow (or, while this program runs from the root, are left for the deferred script). While
// anything stays, they stay with it: the person can start the removal again from there.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/path_identity.h"
#include "platform/basics/result.h"
#include "removal/tree/removal_progress.h"
#include "removal/tree/tree_removal_system.h"
#include "removal/steps/what_stayed.h"

namespace koravane {

// The top-level entry of root that holds path (path itself, or the folder it lies somewhere
// below), as comparable_path text; none when path does not lie below root. Both are absolute.
std::optional<std::string> entry_holding(std::string_view root, std::string_view path);
// The same by what the two are: their final forms first, then their spellings.
std::optional<std::string> entry_holding(const PathForms& root, const PathForms& path);

struct RootRemovalRequest {
  std::string root;   // absolute, as spelled: the run log lies below it
  std::string final;  // what it names: another folder when the root itself is a link
  // The top-level entry holding this running program (comparable_path text), if any: it and the
  // root are the deferred script's to remove.
  std::optional<std::string> running_entry;
  // Worlds the Recycle Bin would not take, under the root's spelling: they stay whole where they
  // are, and nothing holding them is handed to the deferred script.
  std::vector<std::string> worlds_left;
  // Whether the run log is the run's own, every line of it written. One it could not write
  // (another program holds it, it is a folder) is tried with the rest and may stay like them.
  bool run_log_own = true;
};

struct RootRemoval {
  StayedEntries stayed;  // every entry that could not be removed itself
  // Something of the root stayed beside the running program: its uninstaller and run log stay
  // with it, and so must the uninstall registration.
  bool way_back_kept = false;
  // What the deferred script deletes, in order: the top-level entries that stayed, which it may
  // try again; or the root (a link's target first, then the link) when only the running program
  // or the run log keeps it.
  std::vector<std::string> deferred;
  // The root as the script takes it whole: a link's target first, then the link.
  std::vector<std::string> whole;
};

// The folder that full removal empties for a root (absolute, as spelled) whose final path is
// final: the folder a root that is a directory link names, by its final path; else the root as
// spelled. Its worlds are searched and recycled there too, so that the shell meets them on the
// volume that holds them.
std::string folder_emptied(RemovalSystem& system, std::string_view root, std::string_view final);

// The top-level entries of root that hold entries that stayed, for the deferred script to try
// again; never the run log's folder, which the next run needs, nor one holding a link that stayed.
std::vector<std::string> entries_to_try_again(std::string_view root, const StayedEntries& stayed);

// Removes the root. When the root itself is a directory link (and names another folder), the
// folder it names is emptied and removed, then the link; a link below the root stays a link.
RootRemoval remove_install_root(RemovalSystem& system, bool& use_no_reparse,
                                const RootRemovalRequest& request, RemovalProgress* progress = nullptr);

}  // namespace koravane
