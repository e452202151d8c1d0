#include <windows.h>

#include <algorithm>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "run/root/root_safety.h"

namespace koravane {
namespace {

class SystemFolderResolver final : public FolderResolver {
 public:
  // The tag only where the attributes say reparse point: a listing costs more than a look.
  std::optional<EntryKind> attributes(const std::string& path) const override {
    const DWORD attributes = GetFileAttributesW(to_system_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return EntryKind{attributes, reparse ? listed_reparse_tag(path) : 0};
  }
  std::optional<std::string> final_path(const std::string& path) const override { return koravane::final_path(path); }
};

}  // namespace

std::vector<PathForms> protected_folders() {
  std::vector<std::string> folders;  // each taken once by resolve_folders
  const auto add = [&](const std::optional<std::string>& folder) {
    if (folder) folders.push_back(*folder);
  };
  for (const char* name : {"USERPROFILE", "APPDATA", "LOCALAPPDATA", "SystemRoot", "windir", "ProgramFiles",
                           "ProgramFiles(x86)", "ProgramW6432", "TEMP", "TMP", "PUBLIC", "ProgramData",
                           "ALLUSERSPROFILE"}) {
    add(read_env_var(name));
  }
  if (const auto profile = read_env_var("USERPROFILE"); profile && !profile->empty()) {
    for (const char* name : {"Desktop", "Documents", "Downloads"}) add(join_path(*profile, name));
    add(parent_path(*profile));  // the folder that holds the profiles
  }
  // Per-user programs install there side by side, whatever the known-folder manager can say of it.
  if (const auto local = read_env_var("LOCALAPPDATA"); local && is_fully_qualified(*local)) {
    add(join_path(*local, "Programs"));
  }
  for (const OsResult<std::string>& folder : {temp_folder(), windows_directory()}) {
    if (folder) add(folder.value());
  }
  // Every folder the system knows by name for this user: Pictures, Music, Saved Games and the rest,
  // the public ones, and those other programs registered. Where the known-folder manager cannot
  // be reached, the ones asked for by name.
  const std::vector<std::string> known = every_known_folder_path();
  folders.insert(folders.end(), known.begin(), known.end());
  if (known.empty()) {
    for (KnownFolder folder : {KnownFolder::profile, KnownFolder::roaming_app_data, KnownFolder::local_app_data,
                               KnownFolder::desktop, KnownFolder::documents, KnownFolder::downloads,
                               KnownFolder::windows, KnownFolder::program_files, KnownFolder::program_files_x86,
                               KnownFolder::public_profile, KnownFolder::user_profiles, KnownFolder::program_data}) {
      add(known_folder_path(folder));
    }
  }
  // Opening each of a hundred folders would cost more than the rest of a small removal.
  return resolve_folders(folders, SystemFolderResolver());
}

}  // namespace koravane
