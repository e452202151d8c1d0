#pragma once
// What every step of a run works with: the install root as start-up found it, this program's own
// path and the run log, each worked out once and only borrowed by the steps.
#include <string>

#include "platform/files/path_identity.h"
#include "platform/context/run_log.h"

namespace koravane {

// Where the root came from: the executable's own folder (chosen only for its launcher evidence),
// else the target's folder, else the current directory, else ".".
enum class RootSource { executable_folder, target, current_directory, dot };

// What says the folder is a launcher's: its markers ("current.json", "app-current", an "app-"
// entry; a fallback needs an entry of a kind the launcher makes), or, with the markers gone and
// only for the executable's own folder, its own run log naming it as a run's root, or the
// uninstall registration kept for a second run naming it.
enum class LauncherEvidence { none, markers, run_log, registration };

struct InstallRoot {
  std::string path;      // as found (lossless system text): the start line and the run log's place
  std::string absolute;  // made absolute against the current directory; path when the system cannot say
  // What absolute names: links, 8.3 names and device spellings resolved; absolute when it cannot
  // be opened. Decisions about places compare both; removal works on the spelling.
  std::string final;
  RootSource source = RootSource::dot;
  LauncherEvidence evidence = LauncherEvidence::none;
};

// The root's absolute and final forms.
inline PathForms root_forms(const InstallRoot& root) { return PathForms{root.absolute, root.final}; }

struct RunContext {
  InstallRoot root;
  std::string executable;  // this program's own path; empty when the system could not say
  std::string executable_final;  // what executable names (see InstallRoot::final)
  RunLog log;
  // The working folder the run was started in, read before the run leaves it; a copy that goes
  // on starts there, so that it finds the root as this one did. Empty when it could not be read.
  std::string started_in;
  // The empty folder of the run's own under the temporary folder that it works in once the root is
  // found, removed as it ends; empty where none could be made.
  std::string run_folder;
};

}  // namespace koravane
