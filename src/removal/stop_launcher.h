#pragma once
#include "platform/run_context.h"
#include "removal/removal_steps.h"

namespace koravane {

// Ends every running launcher and updater process (task-kill by image name), then closes or ends
// every other program running from what the mode removes, then pauses 800 ms.
void stop_launcher_processes(const RunContext& context, RemovalMode mode);

}  // namespace koravane
