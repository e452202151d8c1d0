#include "platform/processes/processes.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {

bool is_parent_of(const ProcessEntry& parent, const ProcessEntry& child) {
  if (parent.id != child.parent_id || parent.id == child.id) return false;
  return parent.created == 0 || child.created == 0 || parent.created <= child.created;
}

std::vector<size_t> ancestors_of(const std::vector<ProcessEntry>& processes, uint32_t id) {
  std::vector<size_t> chain;
  const auto self = std::find_if(processes.begin(), processes.end(),
                                 [&](const ProcessEntry& entry) { return entry.id == id; });
  if (self == processes.end()) return chain;
  size_t current = static_cast<size_t>(self - processes.begin());
  // A chain longer than the list has gone round in a circle of equal creation times.
  while (chain.size() < processes.size()) {
    const auto parent = std::find_if(processes.begin(), processes.end(), [&](const ProcessEntry& entry) {
      return is_parent_of(entry, processes[current]);
    });
    if (parent == processes.end()) break;
    current = static_cast<size_t>(parent - processes.begin());
    if (std::find(chain.begin(), chain.end(), current) != chain.end() || processes[current].id == id) break;
    chain.push_back(current);
  }
  return chain;
}

std::vector<size_t> descendants_of(const std::vector<ProcessEntry>& processes,
                                   const std::vector<size_t>& roots) {
  std::vector<bool> in_tree(processes.size(), false);
  for (size_t root : roots) in_tree[root] = true;
  std::vector<size_t> found;
  for (bool grew = true; grew;) {
    grew = false;
    for (size_t child = 0; child < processes.size(); ++child) {
      if (in_tree[child]) continue;
      for (size_t parent = 0; parent < processes.size(); ++parent) {
        if (in_tree[parent] && processes[parent].created != 0 && processes[child].created != 0 &&
            is_parent_of(processes[parent], processes[child])) {
          in_tree[child] = true;
          found.push_back(child);
          grew = true;
          break;
        }
      }
    }
  }
  return found;
}

bool is_listed_process(std::string_view listed_name, const std::optional<std::string>& image, uint64_t created,
                       uint64_t taken) {
  if (image && !same_ignoring_case(path_file_name(*image), listed_name)) return false;
  return created <= taken;
}

}  // namespace koravane
