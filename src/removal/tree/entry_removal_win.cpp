#include "removal/tree/entry_removal.h"

#include "removal/tree/tree_removal_core.h"
#include "removal/tree/tree_removal_system_win.h"

namespace koravane {

OsStatus remove_entry(std::string_view path, const TreeRemovalOptions& options) {
  Win32RemovalSystem system;
  return remove_entry(system, process_no_reparse_flag(), path, options);
}

}  // namespace koravane
