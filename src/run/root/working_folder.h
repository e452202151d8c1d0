#pragma once
// Where the run works once it has found its root: neither where it was started (a launcher's
// shortcut starts it in its version folder, in the root) nor anywhere a relative or empty path
// would name something of the person's or the system's, but an empty folder of its own.
#include <string>

namespace koravane {

// Windows only: makes a fresh folder "koravane-run-{pid}" in the temporary folder ("-2" to "-4"
// after it where an earlier process of the same id left one; never one that is there already)
// and works there from now on, as do the programs the run starts; what needed the working folder
// the run was started in has read it. Its path; empty where none could be made, and the run then
// works in the system folder, where Windows lets a per-user run delete nothing and which none of
// its deletions can reach by a relative path (the worlds and the script take fully qualified
// paths only).
std::string enter_run_folder();

// Windows only: leaves folder for the system folder, where nothing more is done, and removes it
// while it holds nothing. Nothing for an empty path.
void leave_run_folder(const std::string& folder);

}  // namespace koravane
