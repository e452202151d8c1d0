#pragma once
// The uses of the custom window: the removal-choice dialog and the result notice (the progress
// window is in ui/progress_win.h).
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/notice_text.h"
#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

// Creates the removal-choice dialog (choice layout, removal palette) without running its loop.
UiWindowHandle create_removal_choice_window();
// Shows the removal-choice dialog modally: the answer (none when closed otherwise) and the dialog,
// left on screen for the window that takes its place.
UiOutcome ask_removal_choice();
// The same, while `explain` works out a fuller explanation on another thread (it gives up once
// stop is set): the dialog shows it as soon as it is ready; without one it stays as it was.
using Explanation = std::function<std::optional<std::string>(const std::atomic<bool>& stop)>;
UiOutcome ask_removal_choice(const Explanation& explain);
// The answer alone.
UiResult show_removal_choice();

// Where a notice appears: in the place of a closed window (which goes once the notice shows),
// beside another run's window, or on the screen's centre.
struct NoticePlace {
  ClosedWindow* replaces = nullptr;
  std::optional<UiBox> beside;
};

// Creates the result notice (notice layout, standard palette) for the prepared message. A path in
// the message is shortened in its middle as far as needed for the whole text to show above the
// button, measured as the window paints it.
UiWindowHandle create_notice_window(const NoticeMessage& message, NoticePlace place = {});
inline UiWindowHandle create_notice_window(std::string_view message, NoticePlace place = {}) {
  return create_notice_window(plain_notice(message), place);
}
// Shows the result notice modally; returns when it is closed, whichever way.
void show_notice(const NoticeMessage& message, NoticePlace place = {});
inline void show_notice(std::string_view message, NoticePlace place = {}) {
  show_notice(plain_notice(message), place);
}

}  // namespace koravane
