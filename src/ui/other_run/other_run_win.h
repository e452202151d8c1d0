#pragma once
// Another run's windows as a run meets them that finds the removal of its root already taken.
#include <windows.h>

#include <optional>

#include "ui/ui_model.h"

namespace koravane {

// Brings the other run's removal-choice dialog to the front, restored if minimised; false unless
// `dialog` is a shown dialog of that process. The system may keep the foreground for the window a
// person works in and flash the dialog's taskbar button instead, which says as much.
bool bring_to_front(HWND dialog, DWORD process_id);

// Where on the screen the process shows a window of ours (a progress window, a notice), if it does.
std::optional<UiBox> shown_window_of(DWORD process_id);

}  // namespace koravane
