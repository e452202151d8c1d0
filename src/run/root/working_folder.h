#pragma once
// Where the run works once it has found its root.

namespace koravane {

// Windows only: the run works in the system folder from here on, so that neither it nor what it
// starts holds a folder of the root (a launcher's shortcut starts it in its version folder); what
// needed the working folder it was started in has read it.
void leave_working_folder();

}  // namespace koravane
