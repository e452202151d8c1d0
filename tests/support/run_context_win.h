#pragma once
// The run context a test hands to a removal step: the root as start-up would find an absolute
// root with launcher markers, and the run log under it.
#include <string>

#include "platform/context/run_context.h"

namespace koravane::test {

inline RunContext context_for(const std::string& absolute_root, std::string executable = {}) {
  return RunContext{InstallRoot{absolute_root, absolute_root, absolute_root, RootSource::executable_folder,
                                LauncherEvidence::markers},
                    executable, executable, RunLog(absolute_root)};
}

}  // namespace koravane::test
