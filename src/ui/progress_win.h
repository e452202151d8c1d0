#pragma once
// The progress window: shown while the removal runs, in the dialog's style, closed by nothing but
// the end of the work.
#include <functional>

#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

// Shows the progress window in the place of `replaces` (which goes once it shows; else on the
// screen's centre) and runs `work` on one worker thread while this thread runs the window's loop
// and redraws from `read` about every 100 ms; `read` is called on this thread only. Returns when
// the work has returned, with the window left on screen for the one that takes its place (empty
// when no window could be shown: the work still runs).
ClosedWindow run_with_progress(ClosedWindow replaces, const std::function<void()>& work,
                               const std::function<ProgressSnapshot()>& read);

}  // namespace koravane
