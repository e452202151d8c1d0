#pragma once
// Removing one install-root entry as what it is on disk.
#include <string_view>

#include "platform/basics/result.h"
#include "removal/tree/tree_removal.h"

namespace koravane {

// A folder (a link to one included, decided with links followed) goes as a tree, anything else
// as a single file; the result of that removal. Files that go are counted in options' progress,
// and what stayed of a folder is in its stayed, when given.
OsStatus remove_entry(std::string_view path, const TreeRemovalOptions& options = {});

}  // namespace koravane
