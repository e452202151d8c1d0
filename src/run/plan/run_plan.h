#pragma once
// The second half of every run: refuse or log the start, learn the removal mode, stop the
// launcher, remove, report. The process exit code is 0 whatever happens here.
#include "platform/context/run_context.h"
#include "run/command_line/command_line.h"

namespace koravane {

void run_plan(const LaunchOptions& options, const RunContext& context);

}  // namespace koravane
