#pragma once
#include <string>
#include <vector>

#include "platform/context/run_context.h"
#include "removal/steps/removal_steps.h"

namespace koravane {

// Asks the running launcher, its updater and every program running from what the mode removes to
// close, then ends the launcher's processes by image name (task-kill) and what is left of the
// others; pauses 800 ms when it did anything. See stop_processes. The executables of the
// programs that had to go and still run.
std::vector<std::string> stop_launcher_processes(const RunContext& context, RemovalMode mode);

}  // namespace koravane
