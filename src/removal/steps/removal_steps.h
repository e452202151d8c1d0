#pragma once
// The removal steps of a run, each working on the install root found at start-up and writing to
// its run log, both borrowed from the run's context.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context/run_context.h"
#include "removal/steps/what_stayed.h"
#include "removal/tree/removal_progress.h"

namespace koravane {

enum class RemovalMode { launcher_only, full };

// What a removal left for after the uninstaller has gone: the paths that the deferred script is
// to delete, in order, absolute. The run plan hands them over as its last act. complete is false when
// anything stayed beyond what is deferred by design (the running uninstaller, the root's
// "Update.exe" in launcher-only removal, the run log); every such failure is in the run log.
struct [[nodiscard]] RemovalOutcome {
  std::vector<std::string> deferred_paths;
  bool complete = true;
  // Something the mode takes stayed in the root: the root's uninstaller and the uninstall
  // registration stay with it, so that the removal can be started again to finish, and the
  // deferred paths are only what the script may try again.
  bool way_back_kept = false;
  // Launcher-only removal found entries of the root that are not the launcher's (the game's).
  bool other_entries_kept = false;
  // The entries that could not be removed, by full path, in the order they were named, with why.
  StayedEntries stayed;
  // Full removal: the worlds sent to the Recycle Bin, and those it would not take, which stayed.
  uint64_t worlds_recycled = 0;
  uint64_t worlds_kept = 0;
  // The programs that had to go and still run (their executables): what they hold stays.
  std::vector<std::string> programs_left;
};

// Removes the launcher's own top-level entries; game files stay, and so does the root itself.
// The uninstaller's and the updater's executables are deferred. What went is counted in
// progress, when one is given, against the launcher entries found.
RemovalOutcome run_launcher_only_removal(const RunContext& context, RemovalProgress* progress = nullptr);

// The folder full removal empties: a root that is a directory link is emptied through the folder
// it names, by its final path (see folder_emptied in root_clearing.h).
std::string folder_full_removal_empties(const InstallRoot& root);

// Removes the login-settings folder, sends the worlds in the install root to the Recycle Bin, then
// removes the rest of the root; a root that cannot go now is deferred. The files that went are counted in progress, when one is given.
RemovalOutcome run_full_removal(const RunContext& context, RemovalProgress* progress = nullptr);

// Removes the launcher's named Start-menu and desktop shortcuts, silently; then the user's
// autostart values, link handlers and shortcuts that point into what mode removes, one run-log
// line each. False when any of those stayed.
[[nodiscard]] bool remove_shortcuts(const RunContext& context, RemovalMode mode);

}  // namespace koravane
