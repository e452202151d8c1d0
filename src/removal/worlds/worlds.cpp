#include "removal/worlds/worlds.h"

#include <algorithm>
#include <iterator>
#include <numeric>

#include "platform/text/path_text.h"
#include "platform/files/links.h"
#include "removal/tree/tree_removal_system.h"

namespace koravane {
namespace {

bool is_folder(const ListedEntry& entry) { return (entry.attributes & removal_code::kAttributeDirectory) != 0; }

bool is_dot(std::string_view name) { return name == "." || name == ".."; }

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

}  // namespace

std::vector<World> find_worlds(FolderListing& listing, std::string_view root, const WorldSearchOptions& options) {
  std::vector<World> worlds;
  // Depth first, in listing order: a world's parents are met before it.
  std::vector<std::string> pending;
  if (auto top = listing.list(root)) pending = folders_to_enter(root, top.value());
  std::reverse(pending.begin(), pending.end());
  while (!pending.empty() && !stopped(options)) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    const OsResult<std::vector<ListedEntry>> listed = listing.list(folder);
    if (!listed) continue;
    if (holds_marker(listed.value())) {
      const uint64_t bytes = options.with_sizes ? bytes_below(listing, folder, listed.value(), options) : 0;
      worlds.push_back({folder, bytes});
      continue;  // what a world holds is its own: never searched
    }
    std::vector<std::string> inner = folders_to_enter(folder, listed.value());
    pending.insert(pending.end(), std::make_move_iterator(inner.rbegin()), std::make_move_iterator(inner.rend()));
  }
  return worlds;
}

uint64_t total_bytes(const std::vector<World>& worlds) {
  return std::accumulate(worlds.begin(), worlds.end(), uint64_t{0},
                         [](uint64_t sum, const World& world) { return sum + world.bytes; });
}

}  // namespace koravane
