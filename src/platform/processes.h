#pragma once
// Processes as one snapshot of the system's process list shows them, and how they descend from
// one another. A process id is soon reused once its process has gone, so a process is only taken
// for another's parent when it started no later than that child.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/path_identity.h"

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

// The entries that descend from any of the given ones (those excluded), by the same rule.
std::vector<size_t> descendants_of(const std::vector<ProcessEntry>& processes,
                                   const std::vector<size_t>& roots);

}  // namespace koravane
