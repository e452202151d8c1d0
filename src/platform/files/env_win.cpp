#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>

#include "platform/files/env.h"
#include "platform/files/fill_from_system_win.h"
#include "platform/basics/handles_win.h"
#include "platform/basics/worker_thread_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

OsResult<std::string> to_text(OsResult<std::wstring> raw) {
  if (!raw) return raw.error();
  return from_wide(raw.value());
}

using TempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

DWORD WINAPI legacy_temp_path(DWORD capacity, LPWSTR buffer) { return GetTempPathW(capacity, buffer); }

DWORD WINAPI resolve_temp_path(DWORD capacity, LPWSTR buffer);

// Starts at the resolver; the first query stores the function actually used.
std::atomic<TempPathFunction> temp_path_function{resolve_temp_path};

DWORD WINAPI resolve_temp_path(DWORD capacity, LPWSTR buffer) {
  TempPathFunction chosen = legacy_temp_path;
  if (HMODULE kernel = GetModuleHandleA("kernel32")) {
    if (FARPROC proc = GetProcAddress(kernel, "GetTempPath2W")) {
      chosen = reinterpret_cast<TempPathFunction>(reinterpret_cast<void*>(proc));
    }
  }
  temp_path_function.store(chosen);
  return chosen(capacity, buffer);
}

}  // namespace

std::optional<std::string> read_env_var(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::wstring wide_name = to_wide(name);
  auto value = fill_from_system([&](wchar_t* buffer, DWORD n) {
    return GetEnvironmentVariableW(wide_name.c_str(), buffer, n);
  });
  if (!value) return std::nullopt;
  return from_wide(value.value());
}

OsResult<std::string> own_executable_path() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetModuleFileNameW(nullptr, buffer, n); }));
}

OsResult<std::string> current_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetCurrentDirectoryW(n, buffer); }));
}

OsResult<std::string> temp_folder() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return temp_path_function.load()(n, buffer); }));
}

OsResult<std::string> system_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetSystemDirectoryW(buffer, n); }));
}

OsResult<std::string> windows_directory() {
  return to_text(fill_from_system(
      [](wchar_t* buffer, DWORD n) { return GetWindowsDirectoryW(buffer, n); }));
}

uint32_t current_process_id() { return GetCurrentProcessId(); }

namespace {

// The folder's path; nothing for a virtual folder. With flags 0 the shell also checks that it is there.
std::optional<std::string> known_folder_path(const KNOWNFOLDERID& id, DWORD flags = 0) {
  PWSTR path = nullptr;
  const HRESULT found = SHGetKnownFolderPath(id, flags, nullptr, &path);
  const UniqueCoTaskString owned(path);  // freed also after a failure, which may still have allocated
  if (FAILED(found)) return std::nullopt;
  return from_wide(owned.get());
}

bool is_folder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_system_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The strings of a folder definition the manager filled in, freed with it (nulls are no harm).
inline void free_definition_fields(KNOWNFOLDER_DEFINITION* definition) { FreeKnownFolderDefinitionFields(definition); }
using DefinitionFields = UniqueResource<NullEmptyTraits<KNOWNFOLDER_DEFINITION*, free_definition_fields>>;

// How many parents up a usual place is composed; the manager's chains are shorter.
constexpr int kParentsComposed = 4;

// Where the system keeps the folder, or where it cannot say, its usual place: composed from its
// definition, its parent found the same way.
std::optional<std::string> path_or_usual_place(IKnownFolderManager& manager, const KNOWNFOLDERID& id,
                                               const std::string& profile, int parents_left) {
  if (std::optional<std::string> path = known_folder_path(id, KF_FLAG_DONT_VERIFY)) return path;
  IKnownFolder* opened = nullptr;
  if (parents_left < 0 || FAILED(manager.GetFolder(id, &opened))) return std::nullopt;
  const UniqueComPointer<IKnownFolder> folder(opened);
  // A third of what the manager lists is virtual; its category costs less than its definition.
  KF_CATEGORY category{};
  if (FAILED(folder.get()->GetCategory(&category)) || category == KF_CATEGORY_VIRTUAL) return std::nullopt;
  KNOWNFOLDER_DEFINITION definition{};
  const DefinitionFields fields(&definition);
  if (FAILED(folder.get()->GetFolderDefinition(&definition))) return std::nullopt;
  KnownFolderDefinition facts{static_cast<uint32_t>(definition.category), definition.fidParent != GUID_NULL,
                              std::nullopt, definition.pszRelativePath ? from_wide(definition.pszRelativePath) : ""};
  if (facts.has_parent) facts.parent_path = path_or_usual_place(manager, definition.fidParent, profile, parents_left - 1);
  return composed_known_folder_path(facts, profile);
}

}  // namespace

std::optional<std::string> known_folder_path(KnownFolder folder) {
  static constexpr const KNOWNFOLDERID* kIds[] = {
      &FOLDERID_Profile,      &FOLDERID_RoamingAppData,  &FOLDERID_LocalAppData, &FOLDERID_Desktop,
      &FOLDERID_Documents,    &FOLDERID_Downloads,       &FOLDERID_Programs,     &FOLDERID_Windows,
      &FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_Public,       &FOLDERID_UserProfiles,
      &FOLDERID_ProgramData};
  return known_folder_path(*kIds[static_cast<size_t>(folder)]);
}

std::vector<std::string> every_known_folder_path() {
  std::vector<std::string> paths;
  const ComApartmentGuard apartment;
  if (!apartment) return paths;
  IKnownFolderManager* created = nullptr;
  if (FAILED(CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&created)))) {
    return paths;
  }
  const UniqueComPointer<IKnownFolderManager> manager(created);
  KNOWNFOLDERID* listed = nullptr;
  UINT count = 0;
  const HRESULT listing = manager.get()->GetFolderIds(&listed, &count);
  const UniqueCoTaskIds ids(listed);
  if (FAILED(listing)) return paths;
  // The per-user Programs folder is always among them, even where the manager leaves it out.
  std::vector<KNOWNFOLDERID> all(ids.get(), ids.get() + count);
  if (std::find(all.begin(), all.end(), FOLDERID_UserProgramFiles) == all.end()) all.push_back(FOLDERID_UserProgramFiles);
  const std::string profile = known_folder_path(FOLDERID_Profile, KF_FLAG_DONT_VERIFY).value_or("");
  // The shell reads a dozen registry values for each id: two more threads take a third of the
  // hundred each. Its own check that a folder is there costs more than ours.
  const size_t total = all.size();
  std::vector<std::optional<std::string>> found(total);
  const auto resolve_share = [&](size_t share) {
    for (size_t i = total * share / 3; i < total * (share + 1) / 3; ++i) {
      std::optional<std::string> path = path_or_usual_place(*manager.get(), all[i], profile, kParentsComposed);
      if (path && is_folder(*path)) found[i] = std::move(path);
    }
  };
  std::optional<WorkerThread> helpers[2];
  for (size_t share = 1; share <= 2; ++share) {
    if (OsResult<WorkerThread> started = WorkerThread::start([&resolve_share, share] { resolve_share(share); })) {
      helpers[share - 1].emplace(std::move(started).value());
    } else {
      resolve_share(share);  // no thread: this one does that third too
    }
  }
  resolve_share(0);
  for (std::optional<WorkerThread>& helper : helpers) {
    if (helper) helper->join();
  }
  for (std::optional<std::string>& path : found) {
    if (path) paths.push_back(std::move(*path));
  }
  return paths;
}

namespace {

// The tag comes only with a reparse point: otherwise the field is unspecified.
ListedEntry listed_entry(const WIN32_FIND_DATAW& data) {
  const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return {from_wide(data.cFileName), data.dwFileAttributes,
          (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, reparse ? data.dwReserved0 : 0};
}

}  // namespace

ListingStatus visit_listed_entries(std::string_view folder, const std::function<bool(const ListedEntry&)>& visit) {
  WIN32_FIND_DATAW data{};
  UniqueFindHandle listing(FindFirstFileW(to_system_path(join_path(folder, "*")).c_str(), &data));
  if (!listing) return ListingError{OsError{GetLastError()}};
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (visit(listed_entry(data))) return std::monostate{};
  } while (FindNextFileW(listing.get(), &data));
  const DWORD error = GetLastError();
  if (error == ERROR_NO_MORE_FILES) return std::monostate{};
  return ListingError{OsError{error}, true};
}

ListingStatus visit_folder_entries(std::string_view folder,
                                   const std::function<bool(std::string_view name)>& visit) {
  return visit_listed_entries(folder, [&](const ListedEntry& entry) { return visit(entry.name); });
}

FolderNames list_folder_names(std::string_view folder) {
  FolderNames listed;
  listed.status = visit_folder_entries(folder, [&](std::string_view name) {
    listed.names.emplace_back(name);
    return false;
  });
  return listed;
}

OsResult<std::vector<ListedEntry>> list_folder_entries(std::string_view folder) {
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle listing(FindFirstFileExW(to_system_path(join_path(folder, "*")).c_str(), FindExInfoBasic,
                                                  &data, FindExSearchNameMatch, nullptr,
                                                  FIND_FIRST_EX_LARGE_FETCH));
  if (!listing) return OsError{GetLastError()};
  std::vector<ListedEntry> entries;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(listed_entry(data));
  } while (FindNextFileW(listing.get(), &data));
  return entries;
}

uint32_t listed_reparse_tag(std::string_view path) {
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle listing(FindFirstFileW(to_system_path(path).c_str(), &data));
  if (!listing || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return 0;
  return data.dwReserved0;
}

OsResult<std::string> absolute_path(std::string_view path) {
  const std::wstring wide = to_wide(path.empty() ? "." : path);
  return to_text(fill_from_system([&](wchar_t* buffer, DWORD n) {
    return GetFullPathNameW(wide.c_str(), n, buffer, nullptr);
  }));
}

}  // namespace koravane
