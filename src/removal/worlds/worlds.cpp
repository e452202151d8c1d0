#include "removal/worlds/worlds.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <numeric>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/files/links.h"
#include "removal/tree/tree_removal_system.h"

namespace koravane {
namespace {

bool is_folder(const ListedEntry& entry) { return (entry.attributes & removal_code::kAttributeDirectory) != 0; }

bool is_dot(std::string_view name) { return name == "." || name == ".."; }

bool is_gone(uint32_t error) { return error == removal_code::kFileNotFound || error == removal_code::kPathNotFound; }

bool stopped(const WorldSearchOptions& options) {
  return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

bool holds_marker(const std::vector<ListedEntry>& entries) {
  for (const ListedEntry& entry : entries) {
    if (!is_folder(entry) && same_path(entry.name, kWorldMarker)) return true;
  }
  return false;
}

// The folders of a listing worth entering: no links (a Unix link is listed as one under Wine too);
// a cloud placeholder folder, which names itself, is entered like any.
std::vector<std::string> folders_to_enter(std::string_view folder, const std::vector<ListedEntry>& entries) {
  std::vector<std::string> inner;
  for (const ListedEntry& entry : entries) {
    if (is_folder(entry) && !is_link(entry.attributes, entry.tag) && !is_dot(entry.name)) {
      inner.push_back(join_path(folder, entry.name));
    }
  }
  return inner;
}

// Everything a world's files hold, links neither counted nor entered.
uint64_t bytes_below(FolderListing& listing, const std::string& world, const std::vector<ListedEntry>& top,
                     const WorldSearchOptions& options) {
  uint64_t bytes = 0;
  std::vector<std::pair<std::string, std::vector<ListedEntry>>> pending{{world, top}};
  while (!pending.empty() && !stopped(options)) {
    auto [folder, entries] = std::move(pending.back());
    pending.pop_back();
    for (const ListedEntry& entry : entries) {
      if (!is_folder(entry) && !is_link(entry.attributes, entry.tag)) bytes += entry.size;
    }
    for (std::string& inner : folders_to_enter(folder, entries)) {
      if (auto listed = listing.list(inner)) pending.emplace_back(std::move(inner), std::move(listed).value());
    }
  }
  return bytes;
}

// A drive path ("C:\...") or a share's ("\\server\share\..."): no verbatim, NT or device form.
bool is_plain_and_fully_qualified(std::string_view path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     is_path_separator(path[2]);
  const bool share = path.size() > 2 && is_path_separator(path[0]) && is_path_separator(path[1]) &&
                     path[2] != '?' && path[2] != '.' && !is_path_separator(path[2]);
  return drive || share;
}

}  // namespace

WorldSearch find_worlds(FolderListing& listing, std::string_view root, const WorldSearchOptions& options) {
  WorldSearch search;
  // A folder that went meanwhile held nothing to find; any other that cannot be listed might.
  const auto listed_or_counted = [&](std::string_view folder) {
    OsResult<std::vector<ListedEntry>> listed = listing.list(folder);
    if (!listed && !is_gone(listed.error().code)) ++search.unread_folders;
    return listed;
  };
  // Depth first, in listing order: a world's parents are met before it.
  std::vector<std::string> pending;
  if (auto top = listed_or_counted(root)) pending = folders_to_enter(root, top.value());
  std::reverse(pending.begin(), pending.end());
  while (!pending.empty() && !stopped(options)) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    const OsResult<std::vector<ListedEntry>> listed = listed_or_counted(folder);
    if (!listed) continue;
    if (holds_marker(listed.value())) {
      const uint64_t bytes = options.with_sizes ? bytes_below(listing, folder, listed.value(), options) : 0;
      search.worlds.push_back({folder, bytes});
      continue;  // what a world holds is its own: never searched
    }
    std::vector<std::string> inner = folders_to_enter(folder, listed.value());
    pending.insert(pending.end(), std::make_move_iterator(inner.rbegin()), std::make_move_iterator(inner.rend()));
  }
  return search;
}

OsResult<size_t> longest_below(FolderListing& listing, std::string_view folder, size_t enough) {
  OsResult<std::vector<ListedEntry>> listed = listing.list(folder);
  if (!listed) return listed.error();
  size_t longest = 0;
  for (const ListedEntry& entry : listed.value()) {
    if (is_dot(entry.name)) continue;
    size_t here = 1 + utf16_from_wtf8(entry.name).size();
    if (here <= enough && is_folder(entry) && !is_link(entry.attributes, entry.tag)) {
      const OsResult<size_t> inner = longest_below(listing, join_path(folder, entry.name), enough - here);
      if (!inner) return inner;
      here += inner.value();
    }
    longest = std::max(longest, here);
    if (longest > enough) break;
  }
  return longest;
}

uint32_t older_call_refusal(std::string_view world, size_t below) {
  if (!is_plain_and_fully_qualified(world) || path_file_name(world).empty() ||
      world.find_first_of("*?") != std::string_view::npos) {
    return world_code::kBadPathname;
  }
  if (utf16_from_wtf8(world).size() + below > kPlainPathLimit) return world_code::kFilenameTooLong;
  return 0;
}

uint64_t total_bytes(const std::vector<World>& worlds) {
  return std::accumulate(worlds.begin(), worlds.end(), uint64_t{0},
                         [](uint64_t sum, const World& world) { return sum + world.bytes; });
}

}  // namespace koravane
