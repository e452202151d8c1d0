#pragma once
// The system calls behind tree and single-file removal, as an interface: the real one
// (tree_removal_system_win.h) talks to kernel32 and ntdll; tests put a scripted file system behind
// it so that the traversal and retry logic runs without Windows.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/basics/result.h"
#include "platform/files/links.h"
#include "platform/basics/unique_resource.h"

namespace koravane {

// An open handle as the removal logic sees it; 0 never names one.
using FsHandle = std::uintptr_t;

// The numbers the removal logic reasons about, kept here so that it needs no windows.h.
namespace removal_code {
inline constexpr uint32_t kInvalidFunction = 1;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kNoMoreFiles = 18;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kNotSupported = 50;
inline constexpr uint32_t kBadNetPath = 53;
inline constexpr uint32_t kBadNetName = 67;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kDirNotEmpty = 145;
inline constexpr uint32_t kDirectory = 267;  // ERROR_DIRECTORY: the path is not a directory
inline constexpr uint32_t kDeletePending = 303;
// ERROR_NOT_A_REPARSE_POINT: an entry taken for a link opened as something else (the folder it
// names, or another entry put in its place), so it cannot be removed as itself.
inline constexpr uint32_t kNotALink = 4390;

inline constexpr uint32_t kStatusDeletePending = 0xC0000056;

inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeNormal = 0x80;
inline constexpr uint32_t kAttributeReparsePoint = kReparsePointAttribute;
// The attributes a caller may set (FILE_ATTRIBUTE_VALID_SET_FLAGS).
inline constexpr uint32_t kSettableAttributes = 0x31A7;

inline constexpr uint32_t kAccessListDirectory = 0x1;
inline constexpr uint32_t kAccessReadAttributes = 0x80;
inline constexpr uint32_t kAccessWriteAttributes = 0x100;
inline constexpr uint32_t kAccessDelete = 0x00010000;
inline constexpr uint32_t kAccessSynchronize = 0x00100000;

inline constexpr uint32_t kShareAll = 0x7;
inline constexpr uint32_t kObjDontReparse = 0x1000;
inline constexpr uint32_t kOpenSynchronousIoNonalert = 0x20;
inline constexpr uint32_t kOpenNonDirectoryFile = 0x40;
inline constexpr uint32_t kOpenReparsePoint = 0x00200000;

// FILE_DISPOSITION_FLAG_DELETE | _POSIX_SEMANTICS | _IGNORE_READONLY_ATTRIBUTE
inline constexpr uint32_t kDispositionPosixIgnoreReadOnly = 0x13;
}  // namespace removal_code

// What a listing record or an open handle says an entry is: its attributes, the system's 64-bit
// file id (0 where the system gives none, which matches any) and its reparse tag (see EntryKind).
struct EntryFacts {
  uint32_t attributes = 0;
  uint64_t id = 0;
  uint32_t tag = 0;
};

// A link (see is_link in links.h): removed as itself, never walked.
inline bool is_link(const EntryFacts& facts) { return is_link(facts.attributes, facts.tag); }

// Whether an open handle is the entry that was listed, as itself: the same file where both ids are
// known, and a link where the listing said link (not the folder the link names).
inline bool opened_as_listed(const EntryFacts& listed, const EntryFacts& opened) {
  if (is_link(listed) && !is_link(opened)) return false;
  return listed.id == 0 || opened.id == 0 || listed.id == opened.id;
}

// The outcome of NtOpenFile: a handle when status is a success status (high bit clear).
struct NtOpenOutcome {
  FsHandle handle;
  uint32_t status;
};

// Every call answers with success or the Win32 error of the failing system call.
class RemovalSystem {
 public:
  virtual ~RemovalSystem() = default;

  // Opens and inspects the path, following links: success, or why it could not.
  virtual OsStatus inspect_following_links(std::string_view path) = 0;
  // The attributes and tag of the path's last component as a listing of that one name gives them:
  // a link's own (no file id).
  virtual OsResult<EntryFacts> list_one(std::string_view path) = 0;
  // The path itself (never a link's target, where the system honours that), as a folder or file.
  virtual OsResult<FsHandle> open_top(std::string_view path, uint32_t access) = 0;
  // The folder path names, links on the way and at its end followed.
  virtual OsResult<FsHandle> open_folder(std::string_view path, uint32_t access) = 0;
  // What the handle is: its attributes (with the reparse-point one), its file id and tag.
  virtual OsResult<EntryFacts> describe(FsHandle handle) = 0;
  // The handle's path within its volume ("\Games\KoraVane\x.dat"), as the system names what
  // it opened: a link's own path, or the path of what it names where the system opened that.
  virtual OsResult<std::u16string> name_of(FsHandle handle) = 0;
  // One batch of FILE_ID_BOTH_DIR_INFO records; restart selects the class that starts over.
  virtual OsStatus read_listing(FsHandle directory, void* buffer, uint32_t size, bool restart) = 0;
  // NtOpenFile relative to parent; name holds UTF-16 units, empty for the parent itself.
  virtual NtOpenOutcome open_relative(FsHandle parent, std::u16string_view name, uint32_t access,
                                      uint32_t object_attributes, uint32_t share, uint32_t options) = 0;
  // The Win32 error code of an NTSTATUS.
  virtual uint32_t status_to_error(uint32_t status) = 0;
  virtual OsStatus mark_deleted_ex(FsHandle handle, uint32_t flags) = 0;
  virtual OsStatus mark_deleted(FsHandle handle) = 0;
  virtual OsStatus write_attributes(FsHandle handle, uint32_t attributes) = 0;
  virtual void close(FsHandle handle) = 0;
  virtual void yield_processor() = 0;
  // The pause after a failed attempt (250 ms on the real system).
  virtual void wait_after_failure() = 0;
};

// A handle of the removal system, closed by the system it came from when it goes.
struct FsHandleTraits {
  using Handle = FsHandle;
  static Handle empty() { return 0; }
  static bool valid(Handle h) { return h != 0; }
  void close(Handle h) const { system->close(h); }
  RemovalSystem* system = nullptr;
};
using OwnedFsHandle = UniqueResource<FsHandleTraits>;

inline OwnedFsHandle own_handle(RemovalSystem& system, FsHandle handle) {
  return OwnedFsHandle(handle, FsHandleTraits{&system});
}

}  // namespace koravane
