#pragma once
// Tree and single-file removal written against RemovalSystem, so that every rule of it (attempts,
// quick retries, fallbacks, the already-gone codes) can be exercised with a scripted system.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/basics/result.h"
#include "removal/tree/tree_removal.h"
#include "removal/tree/tree_removal_system.h"

namespace koravane {

inline constexpr uint32_t kListingBufferSize = 1024;
inline constexpr int kTreeRemovalAttempts = 8;
inline constexpr int kQuickRetryTries = 50;

// Where FILE_ID_BOTH_DIR_INFO keeps what the removal reads (checked against the Windows headers).
namespace listing_layout {
inline constexpr size_t kNextEntryOffset = 0;
inline constexpr size_t kFileAttributes = 56;
inline constexpr size_t kFileNameLength = 60;
inline constexpr size_t kEaSize = 64;  // the reparse tag, where the reparse attribute is set
inline constexpr size_t kFileId = 96;
inline constexpr size_t kFileName = 104;
}  // namespace listing_layout

// Walks the records of one listing batch through their next-entry offsets. Names are copied out
// unit by unit: a record may start at any byte of the buffer.
class ListingCursor {
 public:
  explicit ListingCursor(std::span<const std::byte> batch) : batch_(batch) {}
  // Reads the next record; false when the batch has no more.
  bool next(EntryFacts& facts, std::u16string& name);

 private:
  std::span<const std::byte> batch_;
  size_t offset_ = 0;
  bool done_ = false;
};

// The removal of a directory tree: up to 8 attempts with a pause after each failure, each going on
// past what it cannot remove, so that a later one meets only what stayed. The flag says whether
// relative opens still ask for OBJ_DONT_REPARSE; it is cleared once the system rejects it.
OsStatus remove_tree_with_retries(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                                  const TreeRemovalOptions& options = {});

// One attempt over the whole tree: success when nothing but the kept entries is left, else the
// error of the first entry that stayed; every entry that stayed is added to stayed.
OsStatus remove_tree_once(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                          const TreeRemovalOptions& options, StayedEntries& stayed);

// Deletes one file by name, opened through its folder as itself; one the system names otherwise
// (a link it opened as the file it names) stays, kNotALink. See remove_single_file in tree_removal.h.
OsStatus remove_single_file(RemovalSystem& system, std::string_view path);

// One install-root entry as what a listing of its name says: a folder (a link to one included,
// which then goes as itself) as a tree, anything else as a single file.
OsStatus remove_entry(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                      const TreeRemovalOptions& options);

}  // namespace koravane
