#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/tree_removal.h"
#include "platform/run_log.h"

namespace koravane {
namespace {

// Attributes of path with links followed; an entry that cannot be opened because access is
// denied or it is in use is described by a listing of its one name instead.
std::optional<DWORD> attributes_following_links(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return info.dwFileAttributes;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return std::nullopt;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle listing(FindFirstFileW(path.c_str(), &data));
  if (!listing) return std::nullopt;
  return data.dwFileAttributes;
}

OsStatus remove_entry(const std::string& path) {
  const auto attributes = attributes_following_links(to_wide(path));
  if (attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY)) return remove_tree_with_retries(path);
  return remove_single_file(path);
}

void handle_entry(std::string_view install_root, const std::wstring& raw_name,
                  std::vector<std::string>& deferred) {
  const std::string raw = from_wide(raw_name);
  const std::string name = display_text(raw);
  if (name == "." || name == ".." || !is_launcher_entry(name)) return;
  const std::string path = join_path(install_root, raw);
  if (is_deferred_entry(name)) {
    deferred.push_back(path);
    return;
  }
  const OsStatus status = remove_entry(path);
  append_run_log(install_root, status ? "removed " + name
                                      : "fail " + name + ": " + os_error_text(status.error().code));
}

}  // namespace

RemovalOutcome run_launcher_only_removal(std::string_view install_root) {
  const std::wstring pattern = to_wide(join_path(install_root, "*"));
  WIN32_FIND_DATAW data{};
  UniqueFindHandle listing(FindFirstFileW(pattern.c_str(), &data));
  if (!listing) {
    append_run_log(install_root, "readdir: " + os_error_text(GetLastError()));
    return {};
  }
  RemovalOutcome outcome;
  do {
    handle_entry(install_root, data.cFileName, outcome.deferred_paths);
  } while (FindNextFileW(listing.get(), &data));  // a failure part-way ends the pass silently
  return outcome;
}

}  // namespace koravane
