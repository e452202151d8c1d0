#include <windows.h>

#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/entry_removal.h"
#include "removal/root_clearing.h"

namespace koravane {
namespace {

bool is_directory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Keeps the first failure of a pass: what the caller reports when anything stayed.
void note_failure(OsStatus& first, const OsStatus& outcome) {
  if (first && !outcome) first = outcome;
}

OsStatus listing_outcome(const ListingStatus& status) {
  if (status) return os_success();
  return status.error().error;
}

OsStatus remove_entries_except(const std::string& folder, std::string_view kept, RemovalProgress* progress) {
  const FolderNames listed = list_folder_names(folder);
  OsStatus first = listing_outcome(listed.status);
  for (const std::string& name : listed.names) {
    if (comparable_path(name) != kept) note_failure(first, remove_entry(join_path(folder, name), progress));
  }
  return first;
}

}  // namespace

std::optional<OsStatus> clear_root_beside(const PathForms& root_forms, const PathForms& executable,
                                          RemovalProgress* progress) {
  const std::optional<std::string> kept = entry_holding(root_forms, executable);
  if (!kept) return std::nullopt;
  const std::string& root = root_forms.spelled;
  // The run log stays until the script takes the root: it names this root, so that a run ended
  // by force meanwhile (while the notice is open, say) can still be finished from here.
  const std::string log_folder = comparable_path(kRunLogFolder);
  const FolderNames listed = list_folder_names(root);
  OsStatus first = listing_outcome(listed.status);
  for (const std::string& name : listed.names) {
    const std::string path = join_path(root, name);
    const std::string entry = comparable_path(name);
    if (entry == *kept) continue;
    if (entry == log_folder && is_directory(path)) {
      note_failure(first, remove_entries_except(path, comparable_path(kRunLogFile), progress));
      continue;
    }
    note_failure(first, remove_entry(path, progress));
  }
  return first;
}

}  // namespace koravane
