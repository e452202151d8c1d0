#include <windows.h>

#include <algorithm>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "run/root_safety.h"

namespace koravane {
namespace {

// Each folder once, by its text.
class FolderSet {
 public:
  void add(const std::optional<std::string>& folder) {
    if (!folder || folder->empty()) return;
    const bool known = std::any_of(folders_.begin(), folders_.end(),
                                   [&](const std::string& seen) { return same_path(seen, *folder); });
    if (!known) folders_.push_back(*folder);
  }
  void add(const OsResult<std::string>& folder) {
    if (folder) add(std::optional(folder.value()));
  }
  const std::vector<std::string>& folders() const { return folders_; }

 private:
  std::vector<std::string> folders_;
};

class SystemFolderResolver final : public FolderResolver {
 public:
  std::optional<uint32_t> attributes(const std::string& path) const override {
    const DWORD attributes = GetFileAttributesW(to_system_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
  }
  std::optional<std::string> final_path(const std::string& path) const override {
    std::optional<ResolvedFile> resolved = resolve_file(path);
    if (!resolved) return std::nullopt;
    return std::move(resolved->final);
  }
};

}  // namespace

std::vector<PathForms> protected_folders() {
  FolderSet set;
  for (const char* name : {"USERPROFILE", "APPDATA", "LOCALAPPDATA", "SystemRoot", "windir", "ProgramFiles",
                           "ProgramFiles(x86)", "ProgramW6432", "TEMP", "TMP", "PUBLIC", "ProgramData",
                           "ALLUSERSPROFILE"}) {
    set.add(read_env_var(name));
  }
  if (const auto profile = read_env_var("USERPROFILE"); profile && !profile->empty()) {
    for (const char* name : {"Desktop", "Documents", "Downloads"}) set.add(std::optional(join_path(*profile, name)));
    set.add(parent_path(*profile));  // the folder that holds the profiles
  }
  for (KnownFolder folder : {KnownFolder::profile, KnownFolder::roaming_app_data, KnownFolder::local_app_data,
                             KnownFolder::desktop, KnownFolder::documents, KnownFolder::downloads,
                             KnownFolder::windows, KnownFolder::program_files, KnownFolder::program_files_x86,
                             KnownFolder::public_profile, KnownFolder::user_profiles, KnownFolder::program_data}) {
    set.add(known_folder_path(folder));
  }
  set.add(temp_folder());
  set.add(windows_directory());
  // Every folder the system knows by name for this user: Pictures, Music, Saved Games and the rest,
  // the public ones, and those other programs registered.
  for (const std::string& folder : every_known_folder_path()) set.add(std::optional(folder));
  // Opening each of a hundred folders would cost more than the rest of a small removal.
  return resolve_folders(set.folders(), SystemFolderResolver());
}

}  // namespace koravane
