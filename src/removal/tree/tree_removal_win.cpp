#include "removal/tree/tree_removal.h"

#include "removal/tree/tree_removal_core.h"
#include "removal/tree/tree_removal_system_win.h"

namespace koravane {

OsStatus remove_tree_with_retries(std::string_view path, const TreeRemovalOptions& options) {
  Win32RemovalSystem system;
  return remove_tree_with_retries(system, process_no_reparse_flag(), path, options);
}

OsStatus remove_single_file(std::string_view path) {
  Win32RemovalSystem system;
  return remove_single_file(system, path);
}

}  // namespace koravane
