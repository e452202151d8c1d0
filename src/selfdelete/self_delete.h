#pragma once
// Hands paths the running uninstaller cannot delete to a hidden batch script that runs after it.
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

// Writes "koravane-uninstall-{pid}.cmd" into the temporary folder and starts it without waiting;
// logs "scheduled delete via {script}" under install_root. Every failure is absorbed.
void schedule_self_deletion(const std::vector<std::string>& deferred_paths,
                            std::string_view install_root);

}  // namespace koravane
