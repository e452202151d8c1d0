#pragma once
// Questions the uninstaller asks the system about its surroundings. Paths are lossless WTF-8.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basics/result.h"

namespace koravane {

// Absent (unset, unreadable, or a name with NUL) or the value, which may be empty.
std::optional<std::string> read_env_var(std::string_view name);
OsResult<std::string> own_executable_path();
OsResult<std::string> current_directory();
// GetTempPath2W where the system offers it (looked up once per run), else GetTempPathW.
OsResult<std::string> temp_folder();
OsResult<std::string> system_directory();
OsResult<std::string> windows_directory();
uint32_t current_process_id();
// The user's and the system's folders the uninstaller asks the shell about; they follow a moved
// Desktop or Start menu where the environment does not.
enum class KnownFolder {
  profile, roaming_app_data, local_app_data, desktop, documents, downloads, programs, windows,
  program_files, program_files_x86, public_profile, user_profiles, program_data
};
// The folder's path (SHGetKnownFolderPath), or nothing when the system has none.
std::optional<std::string> known_folder_path(KnownFolder folder);
// The path of every folder the system's known-folder manager lists that resolves to an existing
// folder, in the manager's order, a folder it cannot resolve at its usual place (see
// composed_known_folder_path); none when the manager cannot be reached.
std::vector<std::string> every_known_folder_path();

// What the known-folder manager defines of a folder (KNOWNFOLDER_DEFINITION) that the usual place
// is made from.
struct KnownFolderDefinition {
  uint32_t category = 0;  // KF_CATEGORY_*: 1 virtual, 2 fixed, 3 common, 4 per-user
  bool has_parent = false;
  std::optional<std::string> parent_path;  // the parent's path, where the system gives one
  std::string relative_path;
};
inline constexpr uint32_t kKnownFolderCategoryVirtual = 1;
inline constexpr uint32_t kKnownFolderCategoryPerUser = 4;

// The usual place of a known folder the system cannot resolve (Wine cannot the per-user Programs
// folder): its parent's path joined with its relative path; for a per-user folder defined without
// a parent, the profile joined with it. None for a virtual folder, which has no place, or when the
// result is not a fully qualified folder strictly below the one it was joined to: nothing is ever
// protected or compared as an empty or relative path.
std::optional<std::string> composed_known_folder_path(const KnownFolderDefinition& definition,
                                                      std::string_view profile);

// How a folder listing failed: before its first entry, or part-way, after some.
struct ListingError {
  OsError error;
  bool part_way = false;
};
// Success when the listing ended normally or because the visitor had seen enough.
using ListingStatus = Result<std::monostate, ListingError>;

// Calls visit with each entry name of folder as the system spells it ("." and ".." never) until
// visit returns true.
ListingStatus visit_folder_entries(std::string_view folder,
                                   const std::function<bool(std::string_view name)>& visit);

// Every entry name of folder, listed before anything is done with them, so that nothing is
// removed under an open listing; status says how the listing ended (names holds what came
// before a failure part-way).
struct FolderNames {
  std::vector<std::string> names;
  ListingStatus status = std::monostate{};
};
FolderNames list_folder_names(std::string_view folder);

// One entry of a folder as its listing gives it, links unresolved.
struct ListedEntry {
  std::string name;
  uint32_t attributes = 0;
  uint64_t size = 0;  // a file's size in bytes
  uint32_t tag = 0;   // the reparse tag, as EntryKind (links.h) has it
};
// Every entry of folder ("." and ".." never) with its attributes and a file's size; the system's
// error when it cannot be listed.
OsResult<std::vector<ListedEntry>> list_folder_entries(std::string_view folder);
// Calls visit with each entry of folder as its listing gives it ("." and ".." never) until visit
// returns true.
ListingStatus visit_listed_entries(std::string_view folder, const std::function<bool(const ListedEntry&)>& visit);

// The reparse tag of the entry path names, as a listing of its folder gives it: 0 where it has
// none or cannot be listed. Asked only of an entry whose attributes say reparse point.
uint32_t listed_reparse_tag(std::string_view path);

// The path made absolute against the current directory (GetFullPathNameW); the empty path is the
// current directory itself.
OsResult<std::string> absolute_path(std::string_view path);

}  // namespace koravane
