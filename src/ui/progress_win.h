#pragma once
// The progress window: shown while the removal runs, in the dialog's style, closed by nothing but
// the end of the work.
#include <functional>
#include <optional>

#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

// Shows the progress window centred on `centre` (else on the screen) and runs `work` on one worker
// thread while this thread runs the window's loop and redraws from `read` about every 100 ms;
// `read` is called on this thread only. Returns when the work has returned and the window is gone,
// with the window's last centre (none when no window could be shown: the work still runs).
std::optional<UiPlace> run_with_progress(std::optional<UiPlace> centre, const std::function<void()>& work,
                                         const std::function<ProgressSnapshot()>& read);

}  // namespace koravane
