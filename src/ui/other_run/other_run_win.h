#pragma once
// Another run's windows as a run meets them that finds the removal of its root already taken.
#include <windows.h>

#include <optional>

#include "ui/ui_model.h"

namespace koravane {

struct ShownWindow {
  HWND window;
  UiBox box;  // on the screen
};

// A window of ours that the process shows (its dialog, progress window or notice), if any.
std::optional<ShownWindow> shown_window_of(DWORD process_id);

// Brings another process's window to the front, restored if minimised. The system may keep the
// foreground for the window a person works in and flash the window's taskbar button instead,
// which says as much.
void bring_to_front(HWND window);

}  // namespace koravane
