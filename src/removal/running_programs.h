#pragma once
// Programs still running from what a removal takes away. A game started by the launcher outlives
// it and holds its files open, so before anything is removed such programs are asked to close
// and, if they do not, ended; nothing outside what the chosen mode removes is ever touched.
#include <string>
#include <string_view>
#include <vector>

#include "platform/run_context.h"
#include "removal/removal_steps.h"

namespace koravane {

// Where no program may keep running: the whole root for full removal; for launcher-only removal
// the root's launcher entries (the updater among them), whose names come from its listing.
std::vector<std::string> removal_areas(RemovalMode mode, std::string_view absolute_root,
                                       const std::vector<std::string>& top_level_names);

// Whether the program whose executable is image must go before the removal: it lies within one
// of the areas and is no copy of this uninstaller (this very executable, or the root's own
// "Uninstall.exe"), which finishes its run by itself.
bool must_close(std::string_view image, const std::vector<std::string>& areas,
                std::string_view own_executable, std::string_view absolute_root);

// The run-log lines for a program that closed when asked (or went by itself) and for one that
// had to be ended.
std::string closed_line(std::string_view image);
std::string ended_line(std::string_view image);

// Windows only: asks every program that must go (other than this process) to close through its
// visible top-level windows, waits up to 10 s in all for those it asked, then ends the rest; the
// image is checked on the handle that ends it. One line per program in the run log. Returns at
// once when none runs from the areas.
void close_programs_within(const std::vector<std::string>& areas, const RunContext& context);

}  // namespace koravane
