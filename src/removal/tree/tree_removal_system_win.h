#pragma once
// The removal system of a real run: kernel32 for paths and handles, ntdll for relative opens.
#include "removal/tree/tree_removal_system.h"

namespace koravane {

class Win32RemovalSystem : public RemovalSystem {
 public:
  OsStatus inspect_following_links(std::string_view path) override;
  OsResult<EntryFacts> list_one(std::string_view path) override;  // FindFirstFileW
  OsResult<FsHandle> open_top(std::string_view path, uint32_t access) override;
  OsResult<FsHandle> open_folder(std::string_view path, uint32_t access) override;
  OsResult<EntryFacts> describe(FsHandle handle) override;
  OsResult<std::u16string> name_of(FsHandle handle) override;  // FileNameInformation
  OsStatus read_listing(FsHandle directory, void* buffer, uint32_t size, bool restart) override;
  NtOpenOutcome open_relative(FsHandle parent, std::u16string_view name, uint32_t access,
                              uint32_t object_attributes, uint32_t share, uint32_t options) override;
  uint32_t status_to_error(uint32_t status) override;
  OsStatus mark_deleted_ex(FsHandle handle, uint32_t flags) override;
  OsStatus mark_deleted(FsHandle handle) override;
  OsStatus write_attributes(FsHandle handle, uint32_t attributes) override;
  void close(FsHandle handle) override;
  void yield_processor() override;
  void wait_after_failure() override;  // 250 ms
};

// Whether relative opens still ask for OBJ_DONT_REPARSE in this process (cleared at most once).
bool& process_no_reparse_flag();

}  // namespace koravane
