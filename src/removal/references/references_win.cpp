#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/files/links.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "platform/basics/worker_thread_win.h"
#include "removal/references/references.h"
#include "removal/references/shell_link.h"
#include "removal/tree/tree_removal.h"

namespace koravane {
namespace {

constexpr DWORD kNameCapacity = 16384;  // the longest value name the registry allows, and its NUL
constexpr int kDeepestFolder = 12;      // Start-menu and Quick Launch trees are a few levels deep
constexpr uint64_t kLargestLink = 1 << 20;  // a shell link is a few kilobytes at most

bool names_file(std::string_view path) {
  const DWORD attributes = GetFileAttributesW(to_system_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string from_ansi(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return from_wide(wide);
}

// A key of the user's, opened for one look; empty when it cannot be.
UniqueRegKey open_key(HKEY parent, const std::wstring& path, REGSAM access) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, access, &opened) != ERROR_SUCCESS) return UniqueRegKey();
  return UniqueRegKey(opened);
}

// Registry data as text: REG_SZ as stored, REG_EXPAND_SZ with its variables expanded; nothing
// for a value of another type.
std::optional<std::string> value_text(DWORD type, const std::vector<wchar_t>& data, DWORD size) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  const size_t units = std::min<size_t>(size / sizeof(wchar_t), data.size());
  const std::string stored = from_wide(std::wstring_view(data.data(), wcsnlen(data.data(), units)));
  return type == REG_EXPAND_SZ ? expand_variables(stored, read_env_var) : stored;
}

// One value of an open key as text (see value_text); nothing when it is missing or unreadable.
std::optional<std::string> string_value(HKEY key, const wchar_t* name) {
  std::vector<wchar_t> data(256);
  for (int attempt = 0; attempt < 4; ++attempt) {  // a value that grows meanwhile is read again
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(size / sizeof(wchar_t) + 1);
      continue;
    }
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value_text(type, data, size);
  }
  return std::nullopt;
}

// Every value of a key with its text (none for a value that is not a string), read in one pass
// over the open key; nothing when the key cannot be read.
struct NamedValue {
  std::wstring name;
  std::optional<std::string> text;
};
std::vector<NamedValue> string_values(std::string_view path) {
  std::vector<NamedValue> values;
  const UniqueRegKey key = open_key(HKEY_CURRENT_USER, to_wide(path), KEY_QUERY_VALUE);
  if (!key) return values;
  std::wstring name(kNameCapacity, L'\0');
  std::vector<wchar_t> data(1024);
  for (DWORD i = 0;;) {
    DWORD length = kNameCapacity;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LSTATUS status = RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA && size / sizeof(wchar_t) >= data.size()) {
      data.resize(size / sizeof(wchar_t) + 1);  // the same value again, with room for its data
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    values.push_back({std::wstring(name.data(), length), value_text(type, data, size)});
    ++i;
  }
  return values;
}

// The names of a key's subkeys; none when the key cannot be read.
std::vector<std::wstring> subkey_names(HKEY key) {
  std::vector<std::wstring> names;
  std::wstring name(kNameCapacity, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD length = kNameCapacity;
    if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name.data(), length);
  }
  return names;
}

// The open command of a URL scheme's key, when it is one (it carries "URL Protocol").
std::optional<std::string> scheme_command(HKEY classes, const std::wstring& scheme) {
  const UniqueRegKey key = open_key(classes, scheme, KEY_QUERY_VALUE);
  if (!key || RegQueryValueExW(key.get(), L"URL Protocol", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const UniqueRegKey command = open_key(key.get(), L"shell\\open\\command", KEY_QUERY_VALUE);
  return command ? string_value(command.get(), nullptr) : std::nullopt;
}

struct LinkFile {
  std::string path;
  uint64_t size;  // as listed: an empty file or one too large for a link is never opened
};

std::optional<std::string> read_link_file(const LinkFile& link) {
  if (link.size == 0 || link.size > kLargestLink) return std::nullopt;
  const UniqueHandle file(CreateFileW(to_system_path(link.path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  std::string bytes(static_cast<size_t>(link.size), '\0');
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return std::nullopt;
  }
  bytes.resize(read);  // a link cut short since it was listed reads as one
  return bytes;
}

// Where a shortcut points, its variables expanded; nothing for a file that is no readable link.
std::optional<std::string> link_target(const LinkFile& link) {
  const std::optional<std::string> bytes = read_link_file(link);
  if (!bytes) return std::nullopt;
  std::optional<ShortcutTarget> target = shortcut_target(*bytes, from_ansi);
  if (!target) return std::nullopt;
  return target->has_variables ? expand_variables(target->path, read_env_var) : std::move(target->path);
}

// Where each link points. Opening the files is most of the look, and most of that is waiting on
// the system, so with many links a second thread reads the second half.
std::vector<std::optional<std::string>> link_targets(const std::vector<LinkFile>& links) {
  constexpr size_t kLinksWorthAThread = 32;
  std::vector<std::optional<std::string>> targets(links.size());
  const auto read = [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) targets[i] = link_target(links[i]);
  };
  const size_t half = links.size() < kLinksWorthAThread ? links.size() : links.size() / 2;
  std::optional<WorkerThread> helper;
  if (half < links.size()) {
    if (OsResult<WorkerThread> started = WorkerThread::start([&] { read(half, links.size()); })) {
      helper.emplace(std::move(started).value());
    }
  }
  read(0, helper ? half : links.size());  // all of them when no second thread could start
  if (helper) helper->join();
  return targets;
}

class ReferenceRemoval {
 public:
  ReferenceRemoval(const std::vector<PathForms>& areas, const RunLog& log) : areas_(areas), log_(log) {}

  // Run and RunOnce values; a Run value takes its StartupApproved twin with it.
  void remove_autostart_values() {
    for (const auto& [key, approved] : {std::pair{kRunKey, kApprovedRunKey}, std::pair{kRunOnceKey, std::string_view()}}) {
      for (const NamedValue& value : string_values(key)) {
        if (!starts_program_within(value.text)) continue;
        if (remove_value(key, value.name) && !approved.empty()) remove_twin(approved, value.name);
      }
    }
  }

  // URL schemes whose open command starts a program from the area, with all their subkeys.
  void remove_link_handlers() {
    const std::wstring classes_path = to_wide(kClassesKey);
    const UniqueRegKey classes = open_key(HKEY_CURRENT_USER, classes_path, KEY_ENUMERATE_SUB_KEYS);
    if (!classes) return;
    for (const std::wstring& scheme : subkey_names(classes.get())) {
      if (!starts_program_within(scheme_command(classes.get(), scheme))) continue;
      const std::wstring key = classes_path + L"\\" + scheme;
      const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
      report(registry_item(kClassesKey, from_wide(scheme)), status);
    }
  }

  void remove_shortcuts(const ShortcutSources& sources) {
    const std::vector<std::string> named = named_shortcuts(sources);
    std::vector<std::string> seen;  // sorted; a folder may be reached from two places
    for (const LinkPlace& place : link_places(sources)) {
      std::vector<LinkFile> found;
      collect_links(place, place.folder, 0, found);
      std::vector<LinkFile> links;  // each once, the named ones left to their own removal
      for (LinkFile& link : found) {
        const std::string key = comparable_path(link.path);
        const auto at = std::lower_bound(seen.begin(), seen.end(), key);
        if ((at != seen.end() && *at == key) || std::find(named.begin(), named.end(), key) != named.end()) continue;
        seen.insert(at, key);
        links.push_back(std::move(link));
      }
      const std::vector<std::optional<std::string>> targets = link_targets(links);
      std::vector<std::string> removed;
      for (size_t i = 0; i < links.size(); ++i) {
        const std::string& link = links[i].path;
        if (!targets[i] || !points_into(*targets[i], areas_)) continue;
        const OsStatus status = remove_single_file(link);
        report(link, status ? ERROR_SUCCESS : status.error().code);
        if (!status) continue;
        removed.push_back(link);
        if (place.kind == LinkPlaceKind::start_menu &&
            same_path(parent_path(link).value_or(""), startup_folder(place.folder))) {
          remove_twin(kApprovedStartupFolderKey, to_wide(path_file_name(link)));
        }
      }
      if (place.kind == LinkPlaceKind::start_menu) prune_folders(folders_to_prune(removed, place.folder));
    }
  }

  bool complete() const { return complete_; }

 private:
  bool starts_program_within(const std::optional<std::string>& command) const {
    if (!command) return false;
    const std::optional<std::string> program = command_program(*command, names_file);
    return program && points_into(*program, areas_);
  }

  // One line for what went or stayed; whatever stayed makes the removal incomplete.
  void report(std::string_view item, LSTATUS status) {
    if (status == ERROR_SUCCESS) {
      log_.append(removed_line(item));
    } else {
      log_.append(fail_line(item, static_cast<uint32_t>(status)));
      complete_ = false;
    }
  }

  bool remove_value(std::string_view key, const std::wstring& name) {
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, to_wide(key).c_str(), name.c_str());
    report(registry_item(key, from_wide(name)), status);
    return status == ERROR_SUCCESS;
  }

  // A twin that is not there (never switched in Task Manager) is the usual case.
  void remove_twin(std::string_view key, const std::wstring& name) {
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, to_wide(key).c_str(), name.c_str());
    if (status != ERROR_FILE_NOT_FOUND && status != ERROR_PATH_NOT_FOUND) {
      report(registry_item(key, from_wide(name)), status);
    }
  }

  // Every .lnk file of the place: its top level, and for a Start menu or Quick Launch its
  // subfolders too, never through a link to a folder elsewhere.
  void collect_links(const LinkPlace& place, const std::string& folder, int depth,
                     std::vector<LinkFile>& links) const {
    const OsResult<std::vector<ListedEntry>> entries = list_folder_entries(folder);
    if (!entries) return;
    for (const ListedEntry& entry : entries.value()) {
      const std::string path = join_path(folder, entry.name);
      if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (is_link_file(entry.name)) links.push_back({path, entry.size});
      } else if (place.kind != LinkPlaceKind::desktop && depth < kDeepestFolder &&
                 !is_link(entry.attributes, entry.tag)) {
        collect_links(place, path, depth + 1, links);
      }
    }
  }

  // Folders left empty by the shortcuts that went; a folder that still holds anything stays.
  void prune_folders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
      const OsResult<std::vector<ListedEntry>> entries = list_folder_entries(folder);
      if (!entries || !entries.value().empty()) continue;
      report(folder, RemoveDirectoryW(to_system_path(folder).c_str()) ? ERROR_SUCCESS : GetLastError());
    }
  }

  const std::vector<PathForms>& areas_;
  const RunLog& log_;
  bool complete_ = true;
};

}  // namespace

bool remove_references(const std::vector<PathForms>& areas, const ShortcutSources& sources,
                       const RunLog& log) {
  if (areas.empty()) return true;
  ReferenceRemoval removal(areas, log);
  removal.remove_autostart_values();
  removal.remove_link_handlers();
  removal.remove_shortcuts(sources);
  return removal.complete();
}

}  // namespace koravane
