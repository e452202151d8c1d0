#include <windows.h>

#include <optional>
#include <string>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "removal/tree/entry_removal.h"
#include "removal/tree/tree_removal.h"

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

}  // namespace

OsStatus remove_entry(std::string_view path, const TreeRemovalOptions& options) {
  const auto attributes = attributes_following_links(to_wide(path));
  if (attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY)) return remove_tree_with_retries(path, options);
  OsStatus removed = remove_single_file(path);
  if (removed && options.progress != nullptr) options.progress->count_file();
  if (!removed && options.stayed != nullptr) *options.stayed = {{std::string(path), removed.error().code}};
  return removed;
}

}  // namespace koravane
