#pragma once
// Where a run goes on: here, or in a new copy of this program outside the launcher's tree and job.
#include <optional>

#include "platform/basics/result.h"
#include "platform/context/run_context.h"

namespace koravane {

struct Continuation {
  bool moved_on = false;           // a new copy did the run and has ended: this one ends now
  std::optional<OsError> failure;  // detaching was needed and failed
  bool stuck = false;              // ... where the stop step could end the run: it must stop here
};

// Called before anything is stopped. When this run descends from a process the stop step may end,
// or its job may end it, this starts a new copy (same executable, command line and working
// directory; out of the job where it may leave) through a relay, so that the new copy is outside
// the launcher's tree, and waits for it to end, from outside the root. A relay passes the run on
// and ends here; a copy that continues a run first waits for its relay to have gone.
Continuation continue_outside_the_launcher(const RunContext& context);

}  // namespace koravane
