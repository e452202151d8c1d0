#include "removal/tree/tree_removal_system_win.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "removal/tree/tree_removal_core.h"

namespace koravane {
namespace {

static_assert(sizeof(OBJECT_ATTRIBUTES) == 48);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, NextEntryOffset) == listing_layout::kNextEntryOffset);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes) == listing_layout::kFileAttributes);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == listing_layout::kFileNameLength);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, EaSize) == listing_layout::kEaSize);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileId) == listing_layout::kFileId);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == listing_layout::kFileName);

// The class of FILE_DISPOSITION_INFO_EX; the headers declare it only for newer targets.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
static_assert(FileIdBothDirectoryInfo == 10 && FileIdBothDirectoryRestartInfo == 11);

static_assert(FileInternalInformation == 6);  // the 64-bit id a listing record carries as FileId
constexpr auto kFileNameInformation = static_cast<FILE_INFORMATION_CLASS>(9);
constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);  // STATUS_BUFFER_OVERFLOW
HANDLE as_handle(FsHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FsHandle as_fs_handle(HANDLE handle) { return reinterpret_cast<FsHandle>(handle); }
OsStatus last_error_or_success(BOOL ok) { return ok ? os_success() : OsStatus(OsError{GetLastError()}); }

OsResult<FsHandle> create_file(std::string_view path, DWORD access, DWORD flags) {
  const HANDLE handle = CreateFileW(to_system_path(path).c_str(), access, removal_code::kShareAll, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OsError{GetLastError()};
  return as_fs_handle(handle);
}

}  // namespace

bool& process_no_reparse_flag() {
  static bool use_no_reparse = true;
  return use_no_reparse;
}

OsStatus Win32RemovalSystem::inspect_following_links(std::string_view path) {
  const OsResult<FsHandle> opened = create_file(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (!opened) return opened.error();
  const UniqueHandle handle(as_handle(opened.value()));
  FILE_BASIC_INFO info;
  return last_error_or_success(GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &info, sizeof info));
}

OsResult<EntryFacts> Win32RemovalSystem::list_one(std::string_view path) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle listing(FindFirstFileW(to_system_path(path).c_str(), &data));
  if (!listing) return OsError{GetLastError()};
  const uint32_t attributes = data.dwFileAttributes;
  return EntryFacts{attributes, 0, (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data.dwReserved0 : 0};
}

OsResult<FsHandle> Win32RemovalSystem::open_top(std::string_view path, uint32_t access) {
  return create_file(path, access, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
}

OsResult<FsHandle> Win32RemovalSystem::open_folder(std::string_view path, uint32_t access) {
  return create_file(path, access, FILE_FLAG_BACKUP_SEMANTICS);
}

// Two cheap queries: the classes that carry both at once ask the volume too, which costs a
// thousand times more.
OsResult<EntryFacts> Win32RemovalSystem::describe(FsHandle handle) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(as_handle(handle), FileAttributeTagInfo, &tag, sizeof tag)) {
    return OsError{GetLastError()};
  }
  FILE_INTERNAL_INFORMATION internal{};
  IO_STATUS_BLOCK io_status;
  const NTSTATUS status =
      NtQueryInformationFile(as_handle(handle), &io_status, &internal, sizeof internal, FileInternalInformation);
  // A system that gives no id leaves it unknown, as a listing without one does.
  const uint64_t id = NT_SUCCESS(status) ? static_cast<uint64_t>(internal.IndexNumber.QuadPart) : 0;
  const bool reparse = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return EntryFacts{tag.FileAttributes, id, reparse ? tag.ReparseTag : 0};
}

// The path within the volume costs one call; the final path asks the volume manager too.
OsResult<std::u16string> Win32RemovalSystem::name_of(FsHandle handle) {
  std::array<ULONG, 512> small;  // FILE_NAME_INFORMATION: the name's length in bytes, then the name
  std::unique_ptr<ULONG[]> large;
  ULONG* info = small.data();
  ULONG size = sizeof small;
  for (;;) {
    IO_STATUS_BLOCK io_status;
    const NTSTATUS status = NtQueryInformationFile(as_handle(handle), &io_status, info, size, kFileNameInformation);
    if (status == kStatusBufferOverflow && !large) {
      const ULONG count = info[0] / sizeof(ULONG) + 2;  // the length, then the name, rounded up
      large.reset(new ULONG[count]);
      size = count * sizeof(ULONG);
      info = large.get();
      continue;
    }
    if (!NT_SUCCESS(status)) return OsError{RtlNtStatusToDosError(status)};
    return std::u16string(reinterpret_cast<const char16_t*>(info + 1), std::min<ULONG>(info[0], size - 4) / 2);
  }
}

OsStatus Win32RemovalSystem::read_listing(FsHandle directory, void* buffer, uint32_t size, bool restart) {
  const FILE_INFO_BY_HANDLE_CLASS kind = restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
  return last_error_or_success(GetFileInformationByHandleEx(as_handle(directory), kind, buffer, size));
}

NtOpenOutcome Win32RemovalSystem::open_relative(FsHandle parent, std::u16string_view name, uint32_t access,
                                                uint32_t object_attributes, uint32_t share,
                                                uint32_t options) {
  UNICODE_STRING object_name;
  object_name.Length = static_cast<USHORT>(name.size() * sizeof(char16_t));
  object_name.MaximumLength = object_name.Length;
  object_name.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(name.data()));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object_name, object_attributes, as_handle(parent), nullptr);
  IO_STATUS_BLOCK io_status;
  HANDLE handle = nullptr;
  const NTSTATUS status = NtOpenFile(&handle, access, &attributes, &io_status, share, options);
  return {as_fs_handle(handle), static_cast<uint32_t>(status)};
}

uint32_t Win32RemovalSystem::status_to_error(uint32_t status) {
  return RtlNtStatusToDosError(static_cast<NTSTATUS>(status));
}

OsStatus Win32RemovalSystem::mark_deleted_ex(FsHandle handle, uint32_t flags) {
  FILE_DISPOSITION_INFO_EX info{flags};
  return last_error_or_success(
      SetFileInformationByHandle(as_handle(handle), kFileDispositionInfoEx, &info, sizeof info));
}

OsStatus Win32RemovalSystem::mark_deleted(FsHandle handle) {
  FILE_DISPOSITION_INFO info{TRUE};
  return last_error_or_success(
      SetFileInformationByHandle(as_handle(handle), FileDispositionInfo, &info, sizeof info));
}

OsStatus Win32RemovalSystem::write_attributes(FsHandle handle, uint32_t attributes) {
  FILE_BASIC_INFO info{};  // zero times leave them as they are
  info.FileAttributes = attributes;
  return last_error_or_success(
      SetFileInformationByHandle(as_handle(handle), FileBasicInfo, &info, sizeof info));
}

void Win32RemovalSystem::close(FsHandle handle) { KernelHandleTraits::close(as_handle(handle)); }

void Win32RemovalSystem::yield_processor() { SwitchToThread(); }

void Win32RemovalSystem::wait_after_failure() { Sleep(250); }


}  // namespace koravane
