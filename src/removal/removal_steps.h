#pragma once
// The removal steps of a run, each working on the install root found at start-up.
#include <string_view>

namespace koravane {

enum class RemovalMode { launcher_only, full };

// Removes the launcher's own top-level entries; game files stay, and so does the root itself.
void run_launcher_only_removal(std::string_view install_root);

// Removes the login-settings folder, then the whole install root.
void run_full_removal(std::string_view install_root);

// Removes the Start-menu and desktop shortcuts and the per-user uninstall registration; silent.
void remove_shortcuts_and_registration();

}  // namespace koravane
