#pragma once
// What stays of a root only because this run holds it: a file its standard handles have open
// (its output redirected into the root, by its caller, whose copy of the same file the run shares),
// or a folder left only by such files, which the system removes by name only once their last
// handle has gone. Those go with the run, like its executable: they keep no way back.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/path_identity.h"
#include "removal/steps/what_stayed.h"

namespace koravane {

// A file this run holds open through a standard handle: what it is and its final path.
struct HeldFile {
  std::optional<FileIdentity> identity;
  std::string final;
};

// What the decision needs to know of the system, injected so that its rules run without Windows.
class HeldFilesProbe {
 public:
  virtual ~HeldFilesProbe() = default;
  // What path names, links followed; nothing when it cannot be opened (a file whose deletion
  // waits for its last handle cannot).
  virtual std::optional<FileIdentity> identity(const std::string& path) const = 0;
  virtual std::optional<std::string> final_path(const std::string& path) const = 0;
  // The names in a folder; nothing when it cannot be listed.
  virtual std::optional<std::vector<std::string>> names_in(const std::string& folder) const = 0;
};

// Whether every entry that stayed is one of held, or a folder that holds nothing but held files
// and the folders on the way to them.
bool stayed_only_for_this_run(const StayedEntries& stayed, const std::vector<HeldFile>& held,
                              const HeldFilesProbe& probe);

// Windows only: the files this run's standard handles have open, and the decision on the system.
std::vector<HeldFile> files_held_by_this_run();
bool stayed_only_for_this_run(const StayedEntries& stayed);

}  // namespace koravane
