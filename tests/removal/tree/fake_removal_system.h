#pragma once
// An in-memory file system behind RemovalSystem: paths are "/"-joined UTF-16 names, listing order
// is name order, handles carry their access rights, every entry has a file id (hard links share
// one, and with it their attributes), and the hooks let a test play the part of another process
// or of a system that answers differently.
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "removal/tree/tree_removal_system.h"

namespace koravane::test {

namespace status {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kInvalidParameter = 0xC000000D;
inline constexpr uint32_t kAccessDenied = 0xC0000022;
inline constexpr uint32_t kObjectNameNotFound = 0xC0000034;
inline constexpr uint32_t kObjectPathNotFound = 0xC000003A;
inline constexpr uint32_t kSharingViolation = 0xC0000043;
inline constexpr uint32_t kDeletePending = 0xC0000056;
inline constexpr uint32_t kFileIsADirectory = 0xC00000BA;
inline constexpr uint32_t kBadNetworkPath = 0xC00000BE;
inline constexpr uint32_t kBadNetworkName = 0xC00000CC;
}  // namespace status

struct OpenCall {
  std::u16string path;
  uint32_t access;
  uint32_t object_attributes;
  uint32_t options;
};

class FakeRemovalSystem : public RemovalSystem {
 public:
  struct Node {
    bool directory;
    uint32_t attributes;
    std::u16string link_target;  // a link when not empty
    uint64_t id;
    uint32_t tag = 0;            // the reparse tag, where the attribute is set
    bool always_followed = false;  // every open goes to what it names, as Wine opens a Unix link
  };

  // --- building and inspecting the tree
  void add_directory(const std::u16string& path, uint32_t attributes = 0, uint32_t tag = 0) {
    nodes[path] = {true, attributes | removal_code::kAttributeDirectory, {}, ++last_id_, tag};
  }
  void add_file(const std::u16string& path, uint32_t attributes = 0, uint32_t tag = 0) {
    nodes[path] = {false, attributes, {}, ++last_id_, tag};
  }
  // A link's listing record carries its own id unless one is given (a system that lists what
  // the link names gives the target's), and tag 0 unless one is given (as Wine lists its links).
  void add_directory_link(const std::u16string& path, const std::u16string& target, uint64_t id = 0,
                          uint32_t tag = 0) {
    nodes[path] = {true, removal_code::kAttributeDirectory | removal_code::kAttributeReparsePoint, target,
                   id != 0 ? id : ++last_id_, tag};
  }
  // A Unix link to a file as Wine shows it: listed with the attributes and id of the file it names,
  // and opened as that file, open-as-link flag or not.
  void add_unix_file_link(const std::u16string& path, const std::u16string& target) {
    Node link = nodes.at(target);
    link.link_target = target;
    link.always_followed = true;
    nodes[path] = link;
  }
  // Another name of an existing file.
  void add_hard_link(const std::u16string& path, const std::u16string& existing) { nodes[path] = nodes.at(existing); }
  bool exists(const std::u16string& path) const { return nodes.count(path) != 0; }
  std::vector<std::u16string> children(const std::u16string& path) const {
    std::vector<std::u16string> names;
    const std::u16string prefix = path + u"/";
    for (auto it = nodes.lower_bound(prefix); it != nodes.end() && it->first.starts_with(prefix); ++it) {
      const std::u16string rest = it->first.substr(prefix.size());
      if (rest.find(u'/') == std::u16string::npos) names.push_back(rest);
    }
    return names;
  }

  // --- scripting: a hook may answer an open with a status of its own (after changing the tree)
  std::function<std::optional<uint32_t>(const OpenCall&)> before_open;
  std::function<void(int yields)> on_yield;
  uint32_t ex_disposition_error = 0;    // what FileDispositionInfoEx answers (0: supported)
  bool reject_no_reparse = false;       // NtOpenFile refuses OBJ_DONT_REPARSE
  // Every open of a directory link opens the folder it names, the open-as-link flag or not.
  bool opens_follow_links = false;
  uint32_t write_attributes_error = 0;
  std::set<std::u16string> running_images;  // the disposition is refused, as for a running program
  bool tags_unknown = false;  // the system gives no reparse tag anywhere (reads 0)

  // --- what happened
  std::map<std::u16string, Node> nodes;
  std::vector<OpenCall> opens;
  std::vector<bool> listing_restarts;
  int top_opens = 0, yields = 0, waits = 0, plain_marks = 0, attribute_writes = 0;
  size_t open_handles = 0, peak_directory_handles = 0;

  std::optional<uint32_t> inspect_error;  // what inspecting an existing path answers (none: success)

  OsStatus inspect_following_links(std::string_view path) override {
    if (!exists(resolve(widen(path)))) return as_status(removal_code::kFileNotFound);
    return as_status(inspect_error.value_or(0));
  }

  OsResult<EntryFacts> list_one(std::string_view path) override {
    const auto node = nodes.find(widen(path));
    if (node == nodes.end()) return OsError{removal_code::kFileNotFound};
    return EntryFacts{node->second.attributes, 0, tag_of(node->second)};
  }

  OsResult<FsHandle> open_top(std::string_view path, uint32_t access) override {
    ++top_opens;
    const std::u16string wide = opens_follow_links ? resolve(widen(path)) : widen(path);
    if (!exists(wide)) return OsError{removal_code::kFileNotFound};
    return new_handle(wide, access);
  }

  // The volume's root is "", which every path lies in.
  OsResult<FsHandle> open_folder(std::string_view path, uint32_t access) override {
    const std::u16string wide = resolve(widen(path));
    if (!wide.empty() && !exists(wide)) return OsError{removal_code::kFileNotFound};
    return new_handle(wide, access);
  }

  OsResult<EntryFacts> describe(FsHandle handle) override {
    const auto node = nodes.find(handles_.at(handle).path);
    if (node == nodes.end()) return OsError{removal_code::kAccessDenied};
    return EntryFacts{node->second.attributes, node->second.id, tag_of(node->second)};
  }

  // The path opened, as the system names it within its volume; a scripted error where one is set.
  std::optional<uint32_t> name_error;
  OsResult<std::u16string> name_of(FsHandle handle) override {
    if (name_error) return OsError{*name_error};
    std::u16string name = u"\\" + handles_.at(handle).path;
    std::replace(name.begin(), name.end(), u'/', u'\\');
    return name;
  }

  OsStatus read_listing(FsHandle directory, void* buffer, uint32_t size, bool restart) override { return as_status(read_listing_code(directory, buffer, size, restart)); }
  uint32_t read_listing_code(FsHandle directory, void* buffer, uint32_t size, bool restart) {
    HandleState& state = handles_.at(directory);
    if ((state.access & removal_code::kAccessListDirectory) == 0) return removal_code::kAccessDenied;
    listing_restarts.push_back(restart);
    if (restart || !state.listed) {
      state.snapshot = {u".", u".."};
      for (const auto& name : children(state.path)) state.snapshot.push_back(name);
      state.cursor = 0;
      state.listed = true;
    }
    auto* bytes = static_cast<std::byte*>(buffer);
    size_t used = 0, previous = SIZE_MAX;
    for (; state.cursor < state.snapshot.size(); ++state.cursor) {
      const std::u16string& name = state.snapshot[state.cursor];
      const bool dot = name == u"." || name == u"..";
      const std::u16string path = state.path + u"/" + name;
      if (!dot && !exists(path)) continue;  // deleted since the listing began
      const size_t record = 104 + name.size() * 2;  // odd name lengths leave the next record unaligned
      if (used + record > size) break;
      if (previous != SIZE_MAX) put_u32(bytes + previous, static_cast<uint32_t>(used - previous));
      put_u32(bytes + used, 0);
      put_u32(bytes + used + 56, dot ? removal_code::kAttributeDirectory : nodes.at(path).attributes);
      put_u32(bytes + used + 60, static_cast<uint32_t>(name.size() * 2));
      // The EA size's place holds the reparse tag where the attribute is set.
      const bool reparse = !dot && (nodes.at(path).attributes & removal_code::kAttributeReparsePoint) != 0;
      put_u32(bytes + used + 64, reparse ? tag_of(nodes.at(path)) : 0);
      const uint64_t id = dot ? 0 : nodes.at(path).id;
      std::memcpy(bytes + used + 96, &id, sizeof id);
      std::memcpy(bytes + used + 104, name.data(), name.size() * 2);
      previous = used;
      used += record;
    }
    if (previous == SIZE_MAX) return state.cursor < state.snapshot.size() ? 122 : removal_code::kNoMoreFiles;
    return 0;
  }

  NtOpenOutcome open_relative(FsHandle parent, std::u16string_view name, uint32_t access,
                              uint32_t object_attributes, uint32_t share, uint32_t options) override {
    std::u16string path = handles_.at(parent).path;
    if (!name.empty()) path = path.empty() ? std::u16string(name) : path + u"/" + std::u16string(name);
    const OpenCall call{path, access, object_attributes, options};
    opens.push_back(call);
    if (share != removal_code::kShareAll) return {0, status::kSharingViolation};
    if (reject_no_reparse && (object_attributes & removal_code::kObjDontReparse)) {
      return {0, status::kInvalidParameter};
    }
    if (before_open) {
      if (const std::optional<uint32_t> answer = before_open(call)) return {0, *answer};
    }
    if ((options & removal_code::kOpenReparsePoint) == 0 || opens_follow_links || always_followed(path)) {
      path = resolve(path);
    }
    if (!exists(path)) return {0, status::kObjectNameNotFound};
    if ((options & removal_code::kOpenNonDirectoryFile) != 0 && nodes.at(path).directory) {
      return {0, status::kFileIsADirectory};
    }
    return {new_handle(path, access), status::kSuccess};
  }

  uint32_t status_to_error(uint32_t value) override {
    static const std::map<uint32_t, uint32_t> table = {
        {status::kInvalidParameter, 87}, {status::kAccessDenied, 5}, {status::kObjectNameNotFound, 2},
        {status::kObjectPathNotFound, 3}, {status::kSharingViolation, 32}, {status::kDeletePending, 303},
        {status::kBadNetworkPath, 53},    {status::kBadNetworkName, 67},   {status::kFileIsADirectory, 5}};
    const auto found = table.find(value);
    return found == table.end() ? 317 : found->second;  // 317: ERROR_MR_MID_NOT_FOUND
  }

  OsStatus mark_deleted_ex(FsHandle handle, uint32_t flags) override { return as_status(mark_deleted_ex_code(handle, flags)); }
  uint32_t mark_deleted_ex_code(FsHandle handle, uint32_t flags) {
    if (ex_disposition_error != 0) return ex_disposition_error;
    return mark(handle, (flags & 0x10) != 0);
  }
  OsStatus mark_deleted(FsHandle handle) override { return as_status(mark_deleted_code(handle)); }
  uint32_t mark_deleted_code(FsHandle handle) {
    ++plain_marks;
    return mark(handle, false);
  }

  OsStatus write_attributes(FsHandle handle, uint32_t attributes) override { return as_status(write_attributes_code(handle, attributes)); }
  uint32_t write_attributes_code(FsHandle handle, uint32_t attributes) {
    ++attribute_writes;
    const HandleState& state = handles_.at(handle);
    if ((state.access & removal_code::kAccessWriteAttributes) == 0) return removal_code::kAccessDenied;
    if (write_attributes_error != 0) return write_attributes_error;
    const Node& node = nodes.at(state.path);
    // As FILE_BASIC_INFO has it: 0 leaves the attributes as they are. Every name of the file has them.
    if (attributes == 0) return 0;
    const uint32_t written = attributes | (node.directory ? removal_code::kAttributeDirectory : 0);
    const uint64_t id = node.id;
    for (auto& [path, other] : nodes) {
      if (other.id == id) other.attributes = written;
    }
    return 0;
  }

  void close(FsHandle handle) override {
    const HandleState state = handles_.at(handle);
    handles_.erase(handle);
    --open_handles;
    if (state.delete_on_close) nodes.erase(state.path);
  }

  void yield_processor() override {
    ++yields;
    if (on_yield) on_yield(yields);
  }
  void wait_after_failure() override { ++waits; }

  // Paths the removal joins itself ("root\\Uninstall.exe") name the same nodes as "/"-joined ones.
  static std::u16string widen(std::string_view ascii) {
    std::u16string wide(ascii.begin(), ascii.end());
    std::replace(wide.begin(), wide.end(), u'\\', u'/');
    return wide;
  }

 private:
  static OsStatus as_status(uint32_t code) { return code == 0 ? os_success() : OsStatus(OsError{code}); }

  struct HandleState {
    std::u16string path;
    uint32_t access;
    bool delete_on_close = false;
    bool listed = false;
    size_t cursor = 0;
    std::vector<std::u16string> snapshot;
  };

  static void put_u32(std::byte* at, uint32_t value) { std::memcpy(at, &value, sizeof value); }

  uint32_t tag_of(const Node& node) const { return tags_unknown ? 0 : node.tag; }

  bool always_followed(const std::u16string& path) const {
    const auto node = nodes.find(path);
    return node != nodes.end() && node->second.always_followed;
  }

  std::u16string resolve(const std::u16string& path) const {
    const auto node = nodes.find(path);
    return node != nodes.end() && !node->second.link_target.empty() ? node->second.link_target : path;
  }

  FsHandle new_handle(const std::u16string& path, uint32_t access) {
    handles_[++last_handle_] = {path, access};
    ++open_handles;
    size_t directories = 0;
    for (const auto& [handle, state] : handles_) {
      if (state.access & removal_code::kAccessListDirectory) ++directories;
    }
    if (directories > peak_directory_handles) peak_directory_handles = directories;
    return last_handle_;
  }

  uint32_t mark(FsHandle handle, bool ignore_read_only) {
    HandleState& state = handles_.at(handle);
    if ((state.access & removal_code::kAccessDelete) == 0) return removal_code::kAccessDenied;
    if (running_images.count(state.path) != 0) return removal_code::kAccessDenied;
    const Node& node = nodes.at(state.path);
    if ((node.attributes & removal_code::kAttributeReadOnly) && !ignore_read_only) {
      return removal_code::kAccessDenied;
    }
    if (node.directory && !children(state.path).empty()) return removal_code::kDirNotEmpty;
    state.delete_on_close = true;
    return 0;
  }

  std::map<FsHandle, HandleState> handles_;
  FsHandle last_handle_ = 0;
  uint64_t last_id_ = 0;
};

}  // namespace koravane::test
