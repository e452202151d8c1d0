#pragma once
#include <string_view>

namespace koravane {

// Ends every running launcher and updater process (task-kill by image name), then every process
// running the install root's own "Update.exe" (by process id), then pauses 800 ms.
void stop_launcher_processes(std::string_view install_root);

}  // namespace koravane
