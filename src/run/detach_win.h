#pragma once
// Where a run goes on: here, or in a new copy of this program outside the launcher's tree and job.
#include <optional>

#include "platform/result.h"
#include "platform/run_context.h"

namespace koravane {

struct Continuation {
  bool moved_on = false;           // a new copy continues the run: this one ends now
  std::optional<OsError> failure;  // detaching was needed and failed: the run goes on here
};

// Called before anything is stopped. A copy that continues a run first waits for the copy that
// started it to exit, so that it is no longer in the launcher's tree; otherwise, when this run
// descends from a process the stop step may end, or its job may end it, this starts the new copy
// (same executable, command line and working directory; out of the job where it may leave).
Continuation continue_outside_the_launcher(const RunContext& context);

}  // namespace koravane
