#pragma once

namespace koravane {

// Ends every running launcher and updater process (task-kill by image name), then pauses 800 ms.
void stop_launcher_processes();

}  // namespace koravane
