#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

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
  // The shell reads a dozen registry values for each id: two more threads take a third of the
  // hundred each. Its own check that a folder is there costs more than ours.
  std::vector<std::optional<std::string>> found(count);
  const auto resolve_share = [&](UINT share) {
    for (UINT i = count * share / 3; i < count * (share + 1) / 3; ++i) {
      std::optional<std::string> path = known_folder_path(ids.get()[i], KF_FLAG_DONT_VERIFY);
      if (path && is_folder(*path)) found[i] = std::move(path);
    }
  };
  std::optional<WorkerThread> helpers[2];
  for (UINT share = 1; share <= 2; ++share) {
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

ListingStatus visit_folder_entries(std::string_view folder,
                                   const std::function<bool(std::string_view name)>& visit) {
  WIN32_FIND_DATAW data{};
  UniqueFindHandle listing(FindFirstFileW(to_system_path(join_path(folder, "*")).c_str(), &data));
  if (!listing) return ListingError{OsError{GetLastError()}};
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (visit(from_wide(name))) return std::monostate{};
  } while (FindNextFileW(listing.get(), &data));
  const DWORD error = GetLastError();
  if (error == ERROR_NO_MORE_FILES) return std::monostate{};
  return ListingError{OsError{error}, true};
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
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back({from_wide(name), data.dwFileAttributes,
                       (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, reparse ? data.dwReserved0 : 0});
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
