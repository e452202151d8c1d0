#pragma once
// Removing one install-root entry as what it is on disk.
#include <string_view>

#include "platform/basics/result.h"
#include "removal/tree/tree_removal.h"

namespace koravane {

// A folder goes as a tree and a link to one as itself, decided by a listing of the entry's name;
// anything else goes as a single file. The result of that removal. Files that go are counted in
// options' progress, and what stayed is in its stayed, when given.
OsStatus remove_entry(std::string_view path, const TreeRemovalOptions& options = {});

}  // namespace koravane
