#pragma once
// The two uses of the custom window: the removal-choice dialog and the result notice.
#include <string_view>

#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

// Creates the removal-choice dialog (choice layout, removal palette) without running its loop.
UiWindowHandle create_removal_choice_window();
// Shows the removal-choice dialog modally and returns the answer; none when closed otherwise.
UiResult show_removal_choice();

// Creates the result notice (notice layout, standard palette) for the prepared message.
UiWindowHandle create_notice_window(std::string_view message);
// Shows the result notice modally; returns when it is closed, whichever way.
void show_notice(std::string_view message);

}  // namespace koravane
