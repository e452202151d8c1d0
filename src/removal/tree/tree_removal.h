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
  // The caller found the path to be the folder to empty (an install root found to be no link to
  // another folder): it is walked even when it is a reparse point, as a folder that names itself
  // can be. Otherwise a link at the top is removed as itself.
  bool path_is_folder = false;
};

// Removes the directory at path with everything below it. A link (see is_link in links.h: a
// cloud placeholder folder is none, and is emptied like any folder) is removed as itself and never
// walked; one that opens as something else than what was listed (the folder it names, another
// entry, or a file whose handle the system names otherwise) stays and is named, and nothing is
// done through its handle. An entry that cannot go is left with the folders above it, and the rest
// goes on. Success when everything but the kept entries is gone (or was never there), else the
// error of the first entry that stayed in the last attempt.
OsStatus remove_tree_with_retries(std::string_view path, const TreeRemovalOptions& options = {});

// Deletes one file (or a link as itself) through a handle that the system names as the path's
// folder and name; one it names otherwise (Wine opens a Unix link as the file it names) stays,
// ERROR_NOT_A_REPARSE_POINT. The deletion ignores the read-only attribute, or, where the system
// cannot, clears the attribute for it and puts it back, so that the file's other names keep it.
// A failure after the plain deletion's ERROR_ACCESS_DENIED is that error.
OsStatus remove_single_file(std::string_view path);

}  // namespace koravane
