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

// The entry names of folder as the system spells them. Listed before anything is removed, so
// that removal never runs under an open listing.
std::vector<std::string> entry_names(const std::string& folder) {
  std::vector<std::string> names;
  visit_folder_entries(folder, [&](std::string_view name) {
    names.emplace_back(name);
    return false;
  });
  return names;
}

bool is_directory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void remove_entries_except(const std::string& folder, std::string_view kept) {
  for (const std::string& name : entry_names(folder)) {
    if (comparable_path(name) != kept) (void)remove_entry(join_path(folder, name));
  }
}

}  // namespace

bool clear_root_beside(std::string_view install_root, std::string_view executable) {
  const OsResult<std::string> root = absolute_path(install_root);
  if (!root) return false;
  const std::optional<std::string> kept = entry_holding(root.value(), executable);
  if (!kept) return false;
  // The run log stays until the script takes the root: it names this root, so that a run ended
  // by force meanwhile (while the notice is open, say) can still be finished from here.
  const std::string log_folder = comparable_path(kRunLogFolder);
  for (const std::string& name : entry_names(root.value())) {
    const std::string path = join_path(root.value(), name);
    const std::string entry = comparable_path(name);
    if (entry == *kept) continue;
    if (entry == log_folder && is_directory(path)) {
      remove_entries_except(path, comparable_path(kRunLogFile));
      continue;
    }
    // Whatever will not go now is left for the script, which removes the whole root anyway.
    (void)remove_entry(path);
  }
  return true;
}

bool clear_root_beside_own_executable(std::string_view install_root) {
  const OsResult<std::string> executable = own_executable_path();
  return executable && clear_root_beside(install_root, executable.value());
}

}  // namespace koravane
