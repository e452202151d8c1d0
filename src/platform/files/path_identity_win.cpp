#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/files/fill_from_system_win.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

std::optional<std::string> computer_name(COMPUTER_NAME_FORMAT format) {
  OsResult<std::wstring> name = fill_from_system([&](wchar_t* buffer, DWORD n) -> DWORD {
    DWORD size = n;
    if (GetComputerNameExW(format, buffer, &size)) return size;
    // Too small: the size needed, NUL included, which the growth rule then takes.
    return GetLastError() == ERROR_MORE_DATA ? std::max<DWORD>(size, n + 1) : 0;
  });
  if (!name || name.value().empty()) return std::nullopt;
  return from_wide(name.value());
}

// The names under which this machine's own shares are reached besides "localhost".
std::vector<std::string> local_names() {
  std::vector<std::string> names;
  for (COMPUTER_NAME_FORMAT format : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
    if (std::optional<std::string> name = computer_name(format)) names.push_back(std::move(*name));
  }
  return names;
}

// Attributes only: a running program's image or a folder in use opens all the same.
UniqueHandle open_to_look_at(std::string_view path) {
  return UniqueHandle(CreateFileW(to_system_path(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// What an open file's final path says as path text: this machine's administrative shares as drives.
std::optional<std::string> final_form(HANDLE file) {
  std::optional<std::string> final = final_path_of(file);
  if (final && final->starts_with("\\\\")) final = local_share_as_drive(*final, local_names());
  return final;
}

}  // namespace

std::optional<ResolvedFile> resolve_file(std::string_view path) {
  const UniqueHandle file = open_to_look_at(path);
  if (!file) return std::nullopt;
  std::optional<std::string> final = final_form(file.get());
  const std::optional<FileIdentity> identity = identity_of(file.get());
  if (!final || !identity) return std::nullopt;
  return ResolvedFile{std::move(*final), *identity};
}

std::optional<std::string> final_path(std::string_view path) {
  const UniqueHandle file = open_to_look_at(path);
  if (!file) return std::nullopt;
  return final_form(file.get());
}

std::optional<std::string> final_path_of(void* file) {
  OsResult<std::wstring> final = fill_from_system([&](wchar_t* buffer, DWORD n) {
    return GetFinalPathNameByHandleW(file, buffer, n, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
  if (!final) return std::nullopt;
  return without_namespace_prefix(from_wide(final.value()));
}

std::optional<FileIdentity> identity_of(void* file) {
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof(id))) {
    uint64_t low = 0;
    uint64_t high = 0;
    static_assert(sizeof(id.FileId.Identifier) == 2 * sizeof(uint64_t));
    memcpy(&low, id.FileId.Identifier, sizeof(low));
    memcpy(&high, id.FileId.Identifier + sizeof(low), sizeof(high));
    return FileIdentity{id.VolumeSerialNumber, low, high};
  }
  // Systems and file systems without 128-bit ids give the classic 64-bit index.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0};
}

PathForms path_forms(std::string_view absolute) {
  return PathForms{std::string(absolute), final_path(absolute).value_or(std::string(absolute))};
}

FileForms file_forms(std::string_view path) {
  std::optional<ResolvedFile> resolved = resolve_file(path);
  if (!resolved) return unresolved(std::string(path));
  return FileForms{PathForms{std::string(path), std::move(resolved->final)}, resolved->identity};
}

}  // namespace koravane
