#pragma once
// Full removal while the running uninstaller lies inside the install root: it cannot delete its
// own executable, so everything else at the root's top level goes here and only the entry
// holding the executable, with the root itself, is left for the deferred script.
#include <optional>
#include <string>
#include <string_view>

#include "platform/path_identity.h"
#include "platform/result.h"
#include "removal/removal_progress.h"

namespace koravane {

// The top-level entry of root that holds path (path itself, or the folder it lies somewhere
// below), as comparable_path text; none when path does not lie below root. Both are absolute.
std::optional<std::string> entry_holding(std::string_view root, std::string_view path);
// The same by what the two are: their final forms first, then their spellings.
std::optional<std::string> entry_holding(const PathForms& root, const PathForms& path);

// Windows only. When executable lies inside root (either by what both are or by their spellings;
// the entries are removed through the root's spelling), removes every other top-level
// entry, folders as trees and anything else as a single file, keeping the run log, and returns
// how that went: success when nothing but the entry holding the executable and the run log is
// left, else the first failure (whatever would not go stays). The root must then wait for the
// deferred script either way. Returns nothing, having touched nothing, when executable lies
// elsewhere (or is not known). Files that go are counted in progress.
std::optional<OsStatus> clear_root_beside(const PathForms& root, const PathForms& executable,
                                          RemovalProgress* progress = nullptr);

}  // namespace koravane
