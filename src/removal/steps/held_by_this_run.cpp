#include "removal/steps/held_by_this_run.h"

#include <algorithm>

#include "platform/text/path_text.h"

namespace koravane {
namespace {

// Whether the folder (spelled as the removal spelled it, final as the system resolves it) holds
// nothing but held files and the folders on the way to them.
bool holds_only_held_files(const std::string& spelled, const std::string& final, const std::vector<HeldFile>& held,
                           const HeldFilesProbe& probe) {
  const std::optional<std::vector<std::string>> names = probe.names_in(spelled);
  if (!names) return false;
  return std::all_of(names->begin(), names->end(), [&](const std::string& name) {
    const std::string below = join_path(final, name);
    if (std::any_of(held.begin(), held.end(), [&](const HeldFile& file) { return same_path(file.final, below); })) {
      return true;
    }
    const bool on_the_way = std::any_of(held.begin(), held.end(), [&](const HeldFile& file) {
      return lies_within(file.final, below);
    });
    return on_the_way && holds_only_held_files(join_path(spelled, name), below, held, probe);
  });
}

bool is_held(const StayedEntry& entry, const std::vector<HeldFile>& held, const HeldFilesProbe& probe) {
  if (const std::optional<FileIdentity> identity = probe.identity(entry.path)) {
    if (std::any_of(held.begin(), held.end(), [&](const HeldFile& file) { return file.identity == identity; })) {
      return true;
    }
  }
  const std::optional<std::string> final = probe.final_path(entry.path);
  return final && holds_only_held_files(entry.path, *final, held, probe);
}

}  // namespace

bool stayed_only_for_this_run(const StayedEntries& stayed, const std::vector<HeldFile>& held,
                              const HeldFilesProbe& probe) {
  if (held.empty() || stayed.empty()) return false;
  return std::all_of(stayed.begin(), stayed.end(),
                     [&](const StayedEntry& entry) { return is_held(entry, held, probe); });
}

}  // namespace koravane
