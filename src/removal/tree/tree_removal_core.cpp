#include "removal/tree/tree_removal_core.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

using namespace removal_code;

uint32_t read_u32(std::span<const std::byte> bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

bool is_success_status(uint32_t status) { return (status & 0x80000000u) == 0; }

bool is_already_gone(uint32_t code) {
  return code == kFileNotFound || code == kPathNotFound || code == kBadNetPath ||
         code == kBadNetName || code == kDeletePending;
}

// The attributes to write so that only the read-only one goes (an empty set is written as normal).
uint32_t without_read_only(uint32_t attributes) {
  const uint32_t kept = attributes & kSettableAttributes & ~kAttributeReadOnly;
  return kept != 0 ? kept : kAttributeNormal;
}

bool is_disposition_unsupported(const OsStatus& marked) {
  const uint32_t code = error_code(marked);
  return code == kInvalidFunction || code == kNotSupported || code == kInvalidParameter;
}

OsStatus failure(uint32_t code) { return OsError{code}; }

// An entry opened relative to its parent, found already gone, or failed with a code.
struct EntryOpen {
  OwnedFsHandle handle;
  bool gone = false;
  uint32_t error = 0;
};

class TreeAttempt {
 public:
  TreeAttempt(RemovalSystem& system, bool& use_no_reparse, const TreeRemovalOptions& options,
              StayedEntries& stayed)
      : system_(system), use_no_reparse_(use_no_reparse), options_(options), stayed_(stayed) {}

  OsStatus run(std::string_view path);

 private:
  struct OpenDirectory {
    OwnedFsHandle handle;
    uint32_t attributes;  // from the listing record (or the top's basic information)
    std::u16string name;  // in its parent; empty for the top
    // Its entries that stay in this attempt: skipped when it is listed again, and it stays too.
    std::vector<std::u16string> left;
    // Its path below the top as comparable_path gives it, while a kept path may lie in it.
    std::optional<std::string> kept_prefix;
  };

  EntryOpen open_entry(FsHandle parent, std::u16string_view name, uint32_t access, uint32_t options);
  OsStatus delete_entry(FsHandle parent, std::u16string_view name, uint32_t attributes);
  OsStatus delete_read_only(FsHandle parent, std::u16string_view name, uint32_t attributes);
  template <class Try>
  OsStatus with_quick_retries(uint32_t retried_code, Try try_once);
  // Walks one batch of the directory; descended tells whether it stopped at a subdirectory.
  void walk_batch(OpenDirectory& directory, size_t batch_size, bool& descended);
  // Deletes a directory whose listing is complete, unless something in it stays.
  void finish_directory(OpenDirectory& directory);
  bool is_kept(const OpenDirectory& directory, std::u16string_view name) const;
  std::optional<std::string> kept_prefix_below(const OpenDirectory& directory, std::u16string_view name) const;
  // An entry of directory (or, with an empty name, directory itself) stays: it is named, and the
  // folder holding it stays with it.
  void stays(OpenDirectory& directory, std::u16string_view name, uint32_t code);
  void leave_in_parent(const OpenDirectory& directory);
  std::string path_of(const OpenDirectory& directory, std::u16string_view name) const;

  RemovalSystem& system_;
  bool& use_no_reparse_;
  const TreeRemovalOptions& options_;
  StayedEntries& stayed_;
  std::string top_path_;
  std::vector<OpenDirectory> stack_;
  std::array<uint64_t, kListingBufferSize / sizeof(uint64_t)> buffer_;  // 8-byte aligned
  std::u16string name_;
};

EntryOpen TreeAttempt::open_entry(FsHandle parent, std::u16string_view name, uint32_t access,
                                  uint32_t options) {
  const uint32_t all_options = kOpenReparsePoint | options;
  NtOpenOutcome opened = system_.open_relative(
      parent, name, access, use_no_reparse_ ? kObjDontReparse : 0, kShareAll, all_options);
  if (is_success_status(opened.status)) return {own_handle(system_, opened.handle)};
  if (opened.status == kStatusDeletePending) return {.gone = true};
  uint32_t code = system_.status_to_error(opened.status);
  if (code == kInvalidParameter && use_no_reparse_) {
    // Systems that do not know OBJ_DONT_REPARSE reject it; stop asking for it in this run.
    use_no_reparse_ = false;
    opened = system_.open_relative(parent, name, access, 0, kShareAll, all_options);
    if (is_success_status(opened.status)) return {own_handle(system_, opened.handle)};
    code = opened.status == kStatusDeletePending ? kDeletePending : system_.status_to_error(opened.status);
  }
  if (is_already_gone(code)) return {.gone = true};
  return {.error = code};
}

OsStatus TreeAttempt::delete_entry(FsHandle parent, std::u16string_view name, uint32_t attributes) {
  EntryOpen entry = open_entry(parent, name, kAccessDelete, 0);
  if (entry.gone) return os_success();
  if (entry.error != 0) return failure(entry.error);
  OsStatus marked = system_.mark_deleted_ex(entry.handle.get(), kDispositionPosixIgnoreReadOnly);
  if (!is_disposition_unsupported(marked)) return marked;
  OsStatus plain = system_.mark_deleted(entry.handle.get());
  if (error_code(plain) != kAccessDenied || (attributes & kAttributeReadOnly) == 0) return plain;
  entry.handle.reset();
  return delete_read_only(parent, name, attributes);
}

// The plain disposition refuses read-only entries: clear the attribute and mark once more.
OsStatus TreeAttempt::delete_read_only(FsHandle parent, std::u16string_view name, uint32_t attributes) {
  EntryOpen entry = open_entry(parent, name, kAccessDelete | kAccessWriteAttributes, 0);
  if (entry.gone) return os_success();
  if (entry.error != 0) return failure(kAccessDenied);
  if (!system_.write_attributes(entry.handle.get(), without_read_only(attributes))) {
    return failure(kAccessDenied);
  }
  return system_.mark_deleted(entry.handle.get());
}

template <class Try>
OsStatus TreeAttempt::with_quick_retries(uint32_t retried_code, Try try_once) {
  OsStatus outcome = try_once();
  for (int tries = 1; error_code(outcome) == retried_code && tries < kQuickRetryTries; ++tries) {
    system_.yield_processor();
    outcome = try_once();
  }
  return outcome;
}

std::string TreeAttempt::path_of(const OpenDirectory& directory, std::u16string_view name) const {
  std::string path = top_path_;
  for (const OpenDirectory& above : stack_) {
    if (!above.name.empty()) path = join_path(path, wtf8_from_utf16(above.name));
  }
  for (std::u16string_view part : {std::u16string_view(directory.name), name}) {
    if (!part.empty()) path = join_path(path, wtf8_from_utf16(part));
  }
  return path;
}

void TreeAttempt::stays(OpenDirectory& directory, std::u16string_view name, uint32_t code) {
  stayed_.push_back({path_of(directory, name), code});
  if (name.empty()) {
    leave_in_parent(directory);
  } else {
    directory.left.emplace_back(name);
  }
}

// The parent is the directory below it on the stack, which it was taken from.
void TreeAttempt::leave_in_parent(const OpenDirectory& directory) {
  if (!stack_.empty()) stack_.back().left.push_back(directory.name);
}

std::optional<std::string> TreeAttempt::kept_prefix_below(const OpenDirectory& directory,
                                                          std::u16string_view name) const {
  if (!directory.kept_prefix) return std::nullopt;
  const std::string below = join_path(*directory.kept_prefix, comparable_path(wtf8_from_utf16(name)));
  const bool holds_kept = std::any_of(options_.kept.begin(), options_.kept.end(), [&](const std::string& kept) {
    return kept.size() > below.size() && kept.starts_with(below) && kept[below.size()] == '\\';
  });
  return holds_kept ? std::optional(below) : std::nullopt;
}

bool TreeAttempt::is_kept(const OpenDirectory& directory, std::u16string_view name) const {
  if (!directory.kept_prefix) return false;
  const std::string path = join_path(*directory.kept_prefix, comparable_path(wtf8_from_utf16(name)));
  return std::find(options_.kept.begin(), options_.kept.end(), path) != options_.kept.end();
}

void TreeAttempt::walk_batch(OpenDirectory& directory, size_t batch_size, bool& descended) {
  ListingCursor cursor(std::as_bytes(std::span(buffer_)).first(batch_size));
  uint32_t attributes = 0;
  while (cursor.next(attributes, name_)) {
    if (name_ == u"." || name_ == u"..") continue;
    if (std::find(directory.left.begin(), directory.left.end(), name_) != directory.left.end()) continue;
    if (is_kept(directory, name_)) {
      directory.left.push_back(name_);
      continue;
    }
    const FsHandle parent = directory.handle.get();
    if ((attributes & kAttributeDirectory) == 0) {
      OsStatus deleted = with_quick_retries(
          kSharingViolation, [&] { return delete_entry(parent, name_, attributes); });
      if (!deleted) {
        stays(directory, name_, deleted.error().code);
      } else if (options_.progress != nullptr) {
        options_.progress->count_file();
      }
      continue;
    }
    EntryOpen child = open_entry(parent, name_, kAccessSynchronize | kAccessListDirectory,
                                 kOpenSynchronousIoNonalert);
    if (child.gone) continue;
    if (child.error != 0) {
      stays(directory, name_, child.error);
      continue;
    }
    // The subdirectory is finished before its parent goes on.
    std::optional<std::string> kept_prefix = kept_prefix_below(directory, name_);
    stack_.push_back(std::move(directory));
    stack_.push_back({std::move(child.handle), attributes, name_, {}, std::move(kept_prefix)});
    descended = true;
    return;
  }
}

void TreeAttempt::finish_directory(OpenDirectory& directory) {
  if (!directory.left.empty()) {
    leave_in_parent(directory);  // stays for what stays in it, and is not named for it
    return;
  }
  const FsHandle handle = directory.handle.get();
  const OsStatus deleted = with_quick_retries(
      kDirNotEmpty, [&] { return delete_entry(handle, u"", directory.attributes); });
  if (!deleted) stays(directory, u"", deleted.error().code);
}

OsStatus TreeAttempt::run(std::string_view path) {
  top_path_ = std::string(path);
  const size_t stayed_before = stayed_.size();
  const auto top_stays = [&](uint32_t code) {
    stayed_.push_back({top_path_, code});
    return failure(code);
  };
  OsResult<FsHandle> top = system_.open_top_directory(path);
  if (!top && is_already_gone(top.error().code)) return os_success();  // gone meanwhile
  if (!top) return top_stays(top.error().code);
  OwnedFsHandle top_handle = own_handle(system_, top.value());
  const OsResult<uint32_t> top_attributes = system_.read_attributes(top_handle.get());
  if (!top_attributes) return top_stays(top_attributes.error().code);
  if ((top_attributes.value() & kAttributeDirectory) == 0) return top_stays(kDirectory);

  std::optional<std::string> kept_prefix;
  if (!options_.kept.empty()) kept_prefix.emplace();
  stack_.push_back({std::move(top_handle), top_attributes.value(), {}, {}, std::move(kept_prefix)});
  bool restart = true;
  while (!stack_.empty()) {
    OpenDirectory directory = std::move(stack_.back());
    stack_.pop_back();
    OsStatus listed =
        system_.read_listing(directory.handle.get(), buffer_.data(), kListingBufferSize, restart);
    if (listed) {
      bool descended = false;
      walk_batch(directory, kListingBufferSize, descended);
      if (!descended) {
        stack_.push_back(std::move(directory));
        restart = false;
      }
      continue;
    }
    if (error_code(listed) == kNoMoreFiles) {
      finish_directory(directory);
    } else {
      stays(directory, u"", listed.error().code);  // what it holds cannot be known
    }
    restart = true;  // the parent, listed next, is read again from its beginning
  }
  if (stayed_.size() == stayed_before) return os_success();
  return failure(stayed_[stayed_before].error);
}

}  // namespace

bool ListingCursor::next(uint32_t& attributes, std::u16string& name) {
  using namespace listing_layout;
  if (done_ || offset_ + kFileName > batch_.size()) return false;
  const std::span<const std::byte> record = batch_.subspan(offset_);
  const uint32_t next_offset = read_u32(record, kNextEntryOffset);
  const uint32_t name_bytes = read_u32(record, kFileNameLength);
  // A record reaching past the batch would be a system answering outside its contract.
  if (name_bytes % 2 != 0 || name_bytes > record.size() - kFileName) __builtin_trap();
  attributes = read_u32(record, kFileAttributes);
  name.resize(name_bytes / 2);
  std::memcpy(name.data(), record.data() + kFileName, name_bytes);
  if (next_offset == 0) {
    done_ = true;
  } else {
    offset_ += next_offset;
  }
  return true;
}

OsStatus remove_tree_once(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                          const TreeRemovalOptions& options, StayedEntries& stayed) {
  TreeAttempt attempt(system, use_no_reparse, options, stayed);
  return attempt.run(path);
}

OsStatus remove_tree_with_retries(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                                  const TreeRemovalOptions& options) {
  StayedEntries stayed;
  // Only a path that is missing counts as gone: one that cannot be inspected for any other
  // reason is still there, and the attempts say why it stays.
  OsStatus last = os_success();
  if (options.path_is_link || !is_already_gone(error_code(system.inspect_following_links(path)))) {
    for (int attempt = 0; attempt < kTreeRemovalAttempts; ++attempt) {
      stayed.clear();
      last = remove_tree_once(system, use_no_reparse, path, options, stayed);
      if (last) break;
      system.wait_after_failure();
    }
  }
  if (options.stayed != nullptr) *options.stayed = std::move(stayed);
  return last;
}

OsStatus remove_single_file(RemovalSystem& system, std::string_view path) {
  OsStatus deleted = system.delete_file(path);
  if (error_code(deleted) != kAccessDenied) return deleted;
  const OsResult<FsHandle> opened = system.open_file_as_itself(path, kAccessDelete);
  if (!opened) return failure(kAccessDenied);
  OwnedFsHandle handle = own_handle(system, opened.value());
  const OsStatus marked = system.mark_deleted_ex(handle.get(), kDispositionPosixIgnoreReadOnly);
  if (marked) return marked;
  if (!is_disposition_unsupported(marked)) return failure(kAccessDenied);
  handle.reset();

  // Without the extended disposition, a read-only file goes only once the attribute is cleared.
  const OsResult<FsHandle> reopened =
      system.open_file_as_itself(path, kAccessDelete | kAccessReadAttributes | kAccessWriteAttributes);
  if (!reopened) return failure(kAccessDenied);
  OwnedFsHandle writable = own_handle(system, reopened.value());
  const OsResult<uint32_t> attributes = system.read_attributes(writable.get());
  if (!attributes) return failure(kAccessDenied);
  if ((attributes.value() & kAttributeReadOnly) != 0) {
    if (!system.write_attributes(writable.get(), without_read_only(attributes.value()))) {
      return failure(kAccessDenied);
    }
  }
  if (!system.mark_deleted(writable.get())) return failure(kAccessDenied);
  return os_success();
}

}  // namespace koravane
