#pragma once
// Processes as one snapshot of the system's process list shows them, and how they descend from
// one another. A process id is soon reused once its process has gone, so a process is only taken
// for another's parent when it started no later than that child.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/path_identity.h"

namespace koravane {

struct ProcessEntry {
  uint32_t id = 0;
  uint32_t parent_id = 0;
  uint64_t created = 0;  // creation time (a FILETIME count); 0 when the system would not say
  std::string name;      // the image's file name as the list gives it (WTF-8)
  // The image's full path, when the process could be inspected: as the system spells it, resolved
  // (final path, file identity) only where a step needs to know what it is.
  std::optional<FileForms> image;
};

// Whether parent started child: child names it as parent and neither creation time says that
// parent is a later process that took over a dead parent's id.
bool is_parent_of(const ProcessEntry& parent, const ProcessEntry& child);

// The entries of the process with id's ancestors, nearest first, as far as the chain of parents
// can be followed in the snapshot.
std::vector<size_t> ancestors_of(const std::vector<ProcessEntry>& processes, uint32_t id);

// The entries that descend from any of the given ones (those excluded), following only links
// whose two creation times are known and in order: what descends is asked to close, and an
// unknown time could not tell a parent from a later process that took its id.
std::vector<size_t> descendants_of(const std::vector<ProcessEntry>& processes,
                                   const std::vector<size_t>& roots);

// Whether what a handle opened by a listed id tells of its process (the image's path, when read,
// and its creation time, 0 when unknown) fits the entry listed under name in a snapshot taken at
// taken: a process of another name, or one created after the list was taken, got the id of a
// listed process that had gone in between.
bool is_listed_process(std::string_view listed_name, const std::optional<std::string>& image, uint64_t created,
                       uint64_t taken);

}  // namespace koravane
