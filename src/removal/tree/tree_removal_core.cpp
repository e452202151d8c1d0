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

template <class T>
T read_at(std::span<const std::byte> bytes, size_t at) {
  T value;
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

// Whether name is entry in the folder named folder (whose name ends in a separator only at a
// volume's root). Names compare as the system compares them: without case.
bool is_name_in(std::u16string_view name, std::u16string_view folder, std::u16string_view entry) {
  const size_t separator = folder.ends_with(u'\\') ? 0 : 1;
  if (name.size() != folder.size() + separator + entry.size()) return false;
  return same_ignoring_case(name.substr(0, folder.size()), folder) &&
         (separator == 0 || name[folder.size()] == u'\\') &&
         same_ignoring_case(name.substr(folder.size() + separator), entry);
}

// The system's name for an open handle; empty where it gives none (a name is never empty).
std::u16string name_or_empty(RemovalSystem& system, FsHandle handle) {
  OsResult<std::u16string> name = system.name_of(handle);
  return name ? std::move(name).value() : std::u16string();
}

// Whether the system names an open handle of entry in folder otherwise than that entry: Wine lists
// and opens a Unix link to a file as the file it names, which only the handle's name tells. Where
// the system gives no names, nothing speaks against it.
bool named_otherwise(RemovalSystem& system, FsHandle handle, std::u16string_view folder, std::u16string_view entry) {
  if (folder.empty()) return false;
  const std::u16string own = name_or_empty(system, handle);
  return !own.empty() && !is_name_in(own, folder, entry);
}

// The extended disposition, or the plain one where the system lacks it.
OsStatus mark_for_deletion(RemovalSystem& system, FsHandle handle) {
  const OsStatus marked = system.mark_deleted_ex(handle, kDispositionPosixIgnoreReadOnly);
  if (!is_disposition_unsupported(marked)) return marked;
  return system.mark_deleted(handle);
}

// A link (as listed, or as an earlier open showed it) goes only through a handle that shows it
// opened as that link: one that opened as the folder the link names, or as another entry, is
// never marked.
OsStatus delete_opened_link(RemovalSystem& system, FsHandle handle, const EntryFacts& listed) {
  const OsResult<EntryFacts> opened = system.describe(handle);
  if (!opened) return opened.error();
  if (!opened_as_listed(listed, opened.value())) return failure(kNotALink);
  return mark_for_deletion(system, handle);
}

// The plain disposition refuses a read-only file, so the attribute is cleared for it. It belongs
// to the file, not to this name: it is put back whatever happens, so that the file's other names
// (hard links, or the file a followed link names) keep it; a file that goes loses nothing by it.
OsStatus mark_read_only_for_deletion(RemovalSystem& system, FsHandle writable, uint32_t attributes) {
  if (!system.write_attributes(writable, without_read_only(attributes))) return failure(kAccessDenied);
  const OsStatus marked = system.mark_deleted(writable);
  const OsStatus restored = system.write_attributes(writable, attributes & kSettableAttributes);
  if (!marked) return marked;
  return restored;  // the name goes, but the file it shares lost the attribute: said, not hidden
}

// An entry opened relative to its parent, found already gone, or failed with a code.
struct EntryOpen {
  OwnedFsHandle handle;
  bool gone = false;
  uint32_t error = 0;
};

// The name of an open parent (empty where the system gives none), or null where nothing is to be
// compared with it.
using ParentName = const std::u16string*;

class TreeAttempt {
 public:
  TreeAttempt(RemovalSystem& system, bool& use_no_reparse, const TreeRemovalOptions& options,
              StayedEntries& stayed)
      : system_(system), use_no_reparse_(use_no_reparse), options_(options), stayed_(stayed) {}

  OsStatus run(std::string_view path);

 private:
  struct OpenDirectory {
    OwnedFsHandle handle;
    uint32_t attributes;  // from the listing record (or the top's handle)
    std::u16string name;  // in its parent; empty for the top
    // Its path within its volume as the system names it (asked of the top only); empty where it
    // gives none.
    std::u16string volume_name;
    // Its entries that stay in this attempt: skipped when it is listed again, and it stays too.
    std::vector<std::u16string> left;
    // Its path below the top as comparable_path gives it, while a kept path may lie in it.
    std::optional<std::string> kept_prefix;
  };

  // With a parent name, an entry whose handle the system names otherwise fails as no link that
  // opened as itself, its handle closed unused.
  EntryOpen open_relative_entry(FsHandle parent, std::u16string_view name, uint32_t access, uint32_t options);
  EntryOpen open_entry(FsHandle parent, ParentName parent_name, std::u16string_view name, uint32_t access,
                       uint32_t options);
  OsStatus delete_entry(FsHandle parent, ParentName parent_name, std::u16string_view name, uint32_t attributes);
  OsStatus delete_read_only(FsHandle parent, ParentName parent_name, std::u16string_view name, uint32_t attributes);
  OsStatus delete_link(FsHandle parent, ParentName parent_name, std::u16string_view name, const EntryFacts& listed);
  // Deletes a file or link entry of directory, with quick retries while it is busy; one that stays
  // is named, one that goes and is no folder is counted.
  void remove_leaf(OpenDirectory& directory, const EntryFacts& listed);
  // Opens a folder entry to walk it, once its handle shows the folder that was listed; a link in
  // its place goes as itself. False when nothing is to be walked.
  bool open_to_walk(OpenDirectory& directory, const EntryFacts& listed, OwnedFsHandle& child,
                    std::u16string& child_name);
  OsStatus remove_top_link(std::string_view path, const EntryFacts& listed);
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
  void stays(OpenDirectory& directory, std::u16string_view name, uint32_t code, bool link = false);
  void leave_in_parent(const OpenDirectory& directory);
  std::string path_of(const OpenDirectory& directory, std::u16string_view name) const;

  RemovalSystem& system_;
  bool& use_no_reparse_;
  bool plain_disposition_ = false;  // the extended disposition was refused as unsupported
  const TreeRemovalOptions& options_;
  StayedEntries& stayed_;
  std::string top_path_;
  std::vector<OpenDirectory> stack_;
  std::array<uint64_t, kListingBufferSize / sizeof(uint64_t)> buffer_;  // 8-byte aligned
  std::u16string name_;
};

EntryOpen TreeAttempt::open_entry(FsHandle parent, ParentName parent_name, std::u16string_view name,
                                  uint32_t access, uint32_t options) {
  EntryOpen entry = open_relative_entry(parent, name, access, options);
  if (entry.handle && parent_name != nullptr &&
      named_otherwise(system_, entry.handle.get(), *parent_name, name)) {
    entry.handle.reset();
    entry.error = kNotALink;
  }
  return entry;
}

EntryOpen TreeAttempt::open_relative_entry(FsHandle parent, std::u16string_view name, uint32_t access,
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

OsStatus TreeAttempt::delete_entry(FsHandle parent, ParentName parent_name, std::u16string_view name,
                                   uint32_t attributes) {
  const bool read_only = (attributes & kAttributeReadOnly) != 0;
  // Once the system has shown it lacks the extended disposition, a read-only file is opened once,
  // able to lose the attribute: each open is asked where it points, which costs.
  const bool clear_first = plain_disposition_ && read_only;
  EntryOpen entry = open_entry(parent, parent_name, name, kAccessDelete | (clear_first ? kAccessWriteAttributes : 0), 0);
  if (entry.gone) return os_success();
  if (entry.error != 0) return failure(entry.error);
  if (clear_first) return mark_read_only_for_deletion(system_, entry.handle.get(), attributes);
  if (!plain_disposition_) {
    const OsStatus marked = system_.mark_deleted_ex(entry.handle.get(), kDispositionPosixIgnoreReadOnly);
    if (!is_disposition_unsupported(marked)) return marked;
    plain_disposition_ = true;
  }
  OsStatus plain = system_.mark_deleted(entry.handle.get());
  if (error_code(plain) != kAccessDenied || !read_only) return plain;
  entry.handle.reset();
  return delete_read_only(parent, parent_name, name, attributes);
}

OsStatus TreeAttempt::delete_read_only(FsHandle parent, ParentName parent_name, std::u16string_view name,
                                       uint32_t attributes) {
  EntryOpen entry = open_entry(parent, parent_name, name, kAccessDelete | kAccessWriteAttributes, 0);
  if (entry.gone) return os_success();
  if (entry.error != 0) return failure(entry.error == kNotALink ? kNotALink : kAccessDenied);
  return mark_read_only_for_deletion(system_, entry.handle.get(), attributes);
}

OsStatus TreeAttempt::delete_link(FsHandle parent, ParentName parent_name, std::u16string_view name,
                                  const EntryFacts& listed) {
  EntryOpen entry = open_entry(parent, parent_name, name, kAccessDelete | kAccessReadAttributes, 0);
  if (entry.gone) return os_success();
  if (entry.error != 0) return failure(entry.error);
  return delete_opened_link(system_, entry.handle.get(), listed);
}

void TreeAttempt::remove_leaf(OpenDirectory& directory, const EntryFacts& listed) {
  const FsHandle parent = directory.handle.get();
  const ParentName parent_name = &directory.volume_name;
  const OsStatus deleted = with_quick_retries(kSharingViolation, [&] {
    return is_link(listed) ? delete_link(parent, parent_name, name_, listed)
                           : delete_entry(parent, parent_name, name_, listed.attributes);
  });
  if (!deleted) {
    const uint32_t code = deleted.error().code;
    stays(directory, name_, code, is_link(listed) || code == kNotALink);
  } else if (options_.progress != nullptr && (listed.attributes & kAttributeDirectory) == 0) {
    options_.progress->count_file();
  }
}

bool TreeAttempt::open_to_walk(OpenDirectory& directory, const EntryFacts& listed, OwnedFsHandle& child,
                               std::u16string& child_name) {
  // A folder is known by its id and kind: one that opened as the listed folder, no link, has the
  // name it was opened by, below its parent's, which is not asked of the system again.
  EntryOpen opened = open_entry(directory.handle.get(), nullptr, name_,
                                kAccessSynchronize | kAccessListDirectory | kAccessReadAttributes,
                                kOpenSynchronousIoNonalert);
  if (opened.gone) return false;
  if (opened.error != 0) {
    stays(directory, name_, opened.error);
    return false;
  }
  const OsResult<EntryFacts> facts = system_.describe(opened.handle.get());
  if (!facts) {
    stays(directory, name_, facts.error().code);
    return false;
  }
  if (!opened_as_listed(listed, facts.value())) {
    stays(directory, name_, kNotALink, true);  // another entry, maybe a link, took its place
    return false;
  }
  if (is_link(facts.value())) {
    opened.handle.reset();
    remove_leaf(directory, facts.value());  // it became a link since the listing
    return false;
  }
  child = std::move(opened.handle);
  if (!directory.volume_name.empty()) {
    child_name = directory.volume_name;
    if (!child_name.ends_with(u'\\')) child_name += u'\\';
    child_name += name_;
  }
  return true;
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

void TreeAttempt::stays(OpenDirectory& directory, std::u16string_view name, uint32_t code, bool link) {
  stayed_.push_back({path_of(directory, name), code, link});
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
  EntryFacts listed;
  while (cursor.next(listed, name_)) {
    if (name_ == u"." || name_ == u"..") continue;
    if (std::find(directory.left.begin(), directory.left.end(), name_) != directory.left.end()) continue;
    if (is_kept(directory, name_)) {
      directory.left.push_back(name_);
      continue;
    }
    // Plain files cost no more than their deletion: the listing says enough about them.
    if (is_link(listed) || (listed.attributes & kAttributeDirectory) == 0) {
      remove_leaf(directory, listed);
      continue;
    }
    OwnedFsHandle child;
    std::u16string child_name;
    if (!open_to_walk(directory, listed, child, child_name)) continue;
    // The subdirectory is finished before its parent goes on.
    std::optional<std::string> kept_prefix = kept_prefix_below(directory, name_);
    stack_.push_back(std::move(directory));
    stack_.push_back({std::move(child), listed.attributes, name_, std::move(child_name), {}, std::move(kept_prefix)});
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
      kDirNotEmpty, [&] { return delete_entry(handle, nullptr, u"", directory.attributes); });
  if (!deleted) stays(directory, u"", deleted.error().code);
}

OsStatus TreeAttempt::remove_top_link(std::string_view path, const EntryFacts& listed) {
  const OsResult<FsHandle> opened = system_.open_top(path, kAccessDelete | kAccessReadAttributes);
  if (!opened && is_already_gone(opened.error().code)) return os_success();
  if (!opened) return opened.error();
  const OwnedFsHandle handle = own_handle(system_, opened.value());
  return delete_opened_link(system_, handle.get(), listed);
}

OsStatus TreeAttempt::run(std::string_view path) {
  top_path_ = std::string(path);
  const size_t stayed_before = stayed_.size();
  const auto top_stays = [&](uint32_t code, bool link = false) {
    stayed_.push_back({top_path_, code, link});
    return failure(code);
  };
  // The top is a link when a listing of its one name or its handle says so. A listing that
  // cannot be had leaves the open to decide: the open also tells a path that is gone.
  const auto link_goes = [&](const EntryFacts& listed) {
    const OsStatus removed = remove_top_link(path, listed);
    return removed ? removed : top_stays(removed.error().code, true);
  };
  if (!options_.path_is_folder) {
    const OsResult<EntryFacts> listed = system_.list_one(path);
    if (listed && is_link(listed.value())) return link_goes(listed.value());
  }
  OsResult<FsHandle> top = system_.open_top(path, kAccessListDirectory | kAccessReadAttributes);
  if (!top && is_already_gone(top.error().code)) return os_success();  // gone meanwhile
  if (!top) return top_stays(top.error().code);
  OwnedFsHandle top_handle = own_handle(system_, top.value());
  const OsResult<EntryFacts> top_facts = system_.describe(top_handle.get());
  if (!top_facts) return top_stays(top_facts.error().code);
  if (!options_.path_is_folder && is_link(top_facts.value())) {
    top_handle.reset();
    return link_goes(top_facts.value());
  }
  const uint32_t top_attributes = top_facts.value().attributes;
  if ((top_attributes & kAttributeDirectory) == 0) return top_stays(kDirectory);

  std::optional<std::string> kept_prefix;
  if (!options_.kept.empty()) kept_prefix.emplace();
  // The names of the files below are compared with the top's own, whatever path reached it.
  std::u16string top_name = name_or_empty(system_, top_handle.get());
  stack_.push_back({std::move(top_handle), top_attributes, {}, std::move(top_name), {}, std::move(kept_prefix)});
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

bool ListingCursor::next(EntryFacts& facts, std::u16string& name) {
  using namespace listing_layout;
  if (done_ || offset_ + kFileName > batch_.size()) return false;
  const std::span<const std::byte> record = batch_.subspan(offset_);
  const uint32_t next_offset = read_at<uint32_t>(record, kNextEntryOffset);
  const uint32_t name_bytes = read_at<uint32_t>(record, kFileNameLength);
  // A record reaching past the batch would be a system answering outside its contract.
  if (name_bytes % 2 != 0 || name_bytes > record.size() - kFileName) __builtin_trap();
  const uint32_t attributes = read_at<uint32_t>(record, kFileAttributes);
  // The record's EA size holds the reparse tag where the attribute is set.
  const uint32_t tag = (attributes & kAttributeReparsePoint) != 0 ? read_at<uint32_t>(record, kEaSize) : 0;
  facts = {attributes, read_at<uint64_t>(record, kFileId), tag};
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
  // Opened through its folder, as the tree removal opens files, so that the system's name for it
  // can be compared with the one asked for.
  const OsResult<FsHandle> opened_folder =
      system.open_folder(parent_path(path).value_or(std::string()), kAccessListDirectory | kAccessReadAttributes);
  if (!opened_folder) {
    const uint32_t code = opened_folder.error().code;
    return failure(code == kFileNotFound ? kPathNotFound : code);  // the file's path is not found
  }
  const OwnedFsHandle folder = own_handle(system, opened_folder.value());
  const std::u16string folder_name = name_or_empty(system, folder.get());
  const std::u16string name = utf16_from_wtf8(path_file_name(path));
  OwnedFsHandle file = own_handle(system, 0);
  const auto open_file = [&](uint32_t access) -> uint32_t {
    const NtOpenOutcome opened =
        system.open_relative(folder.get(), name, access, 0, kShareAll, kOpenReparsePoint | kOpenNonDirectoryFile);
    if (!is_success_status(opened.status)) return system.status_to_error(opened.status);
    file.reset(opened.handle);
    return named_otherwise(system, file.get(), folder_name, name) ? kNotALink : 0;
  };
  if (const uint32_t code = open_file(kAccessDelete | kAccessReadAttributes); code != 0) return failure(code);
  const OsStatus marked = system.mark_deleted_ex(file.get(), kDispositionPosixIgnoreReadOnly);
  if (!is_disposition_unsupported(marked)) return marked;
  const OsStatus plain = system.mark_deleted(file.get());
  if (error_code(plain) != kAccessDenied) return plain;
  const OsResult<EntryFacts> facts = system.describe(file.get());
  if (!facts || (facts.value().attributes & kAttributeReadOnly) == 0) return plain;
  file.reset();
  // Without the extended disposition, a read-only file goes only once the attribute is cleared.
  if (const uint32_t code = open_file(kAccessDelete | kAccessWriteAttributes); code != 0) {
    return failure(code == kNotALink ? kNotALink : kAccessDenied);
  }
  if (!mark_read_only_for_deletion(system, file.get(), facts.value().attributes)) return failure(kAccessDenied);
  return os_success();
}

OsStatus remove_entry(RemovalSystem& system, bool& use_no_reparse, std::string_view path,
                      const TreeRemovalOptions& options) {
  const OsResult<EntryFacts> listed = system.list_one(path);
  if (listed && (listed.value().attributes & kAttributeDirectory) != 0) {
    TreeRemovalOptions as_tree = options;
    as_tree.path_is_link = is_link(listed.value());  // goes as itself, even once what it names went
    return remove_tree_with_retries(system, use_no_reparse, path, as_tree);
  }
  OsStatus removed = remove_single_file(system, path);
  if (removed && options.progress != nullptr) options.progress->count_file();
  if (!removed && options.stayed != nullptr) *options.stayed = {{std::string(path), removed.error().code}};
  return removed;
}

}  // namespace koravane
