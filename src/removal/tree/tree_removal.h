#pragma once
// Removing a directory tree (with retries) and removing a single file.
#include <string>
#include <string_view>
#include <vector>

#include "platform/basics/result.h"
#include "removal/tree/removal_progress.h"
#include "removal/steps/what_stayed.h"

namespace koravane {

// What a tree removal is told beside its path.
struct TreeRemovalOptions {
  // Each file that goes is counted here, when given.
  RemovalProgress* progress = nullptr;
  // Receives the entries of the last attempt that could not be removed themselves, when given.
  StayedEntries* stayed = nullptr;
  // Paths below the top, as comparable_path gives them ("updates\rust-updater.log"), that are
  // left in place without counting as failures; the folders holding them stay with them.
  std::vector<std::string> kept;
  // The path is a link, removed as itself even once what it names has gone (which otherwise
  // counts as the path being gone).
  bool path_is_link = false;
};

// Removes the directory at path with everything below it; links are removed as links, never
// followed. An entry that cannot go is left with the folders above it, and the rest goes on.
// Success when everything but the kept entries is gone (or was never there), else the error of
// the first entry that stayed in the last attempt.
OsStatus remove_tree_with_retries(std::string_view path, const TreeRemovalOptions& options = {});

// Deletes one file (or a link as itself); on access denied retries as a deletion that ignores
// the read-only attribute. The error of a failure is the first ERROR_ACCESS_DENIED.
OsStatus remove_single_file(std::string_view path);

}  // namespace koravane
