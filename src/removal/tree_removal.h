#pragma once
// Removing a directory tree (with retries) and removing a single file.
#include <string_view>

#include "platform/result.h"
#include "removal/removal_progress.h"

namespace koravane {

// Removes the directory at path with everything below it; links are removed as links, never
// followed. Success when the path is gone (or was never there), else the last attempt's error.
// Each file that goes is counted in progress, when one is given.
OsStatus remove_tree_with_retries(std::string_view path, RemovalProgress* progress = nullptr);

// Deletes one file (or a link as itself); on access denied retries as a deletion that ignores
// the read-only attribute. The error of a failure is the first ERROR_ACCESS_DENIED.
OsStatus remove_single_file(std::string_view path);

}  // namespace koravane
