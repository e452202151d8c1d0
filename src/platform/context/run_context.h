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
// entry), or, with the markers gone, its own run log naming it as a run's root.
enum class LauncherEvidence { none, markers, run_log };

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
};

}  // namespace koravane
