#pragma once
// Programs still running from what a removal takes away. A game started by the launcher outlives
// it and holds its files open, so before anything is removed such programs are asked to close
// and, if they do not, ended; nothing outside what the chosen mode removes is ever touched.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_identity.h"
#include "platform/run_context.h"
#include "removal/removal_steps.h"

namespace koravane {

// Where no program may keep running, each in the root's two forms (as spelled and as resolved):
// the whole root for full removal; for launcher-only removal the root's launcher entries (the
// updater among them), whose names come from its listing.
std::vector<PathForms> removal_areas(RemovalMode mode, const PathForms& root,
                                     const std::vector<std::string>& top_level_names);

// A running program's executable: its path in both forms and, when it could be opened, the file.
struct ProgramImage {
  PathForms path;
  std::optional<FileIdentity> identity;
};

// Copies of this uninstaller (this very executable, the root's own "Uninstall.exe"), which finish
// their run by themselves: known by their paths and by the files they are.
struct UninstallerCopies {
  std::vector<PathForms> paths;
  std::vector<FileIdentity> identities;
};

// Whether the program must go before the removal: its executable lies within one of the areas,
// in either form, and is no copy of this uninstaller, however either is spelled.
bool must_close(const ProgramImage& image, const std::vector<PathForms>& areas,
                const UninstallerCopies& copies);

// The run-log lines for a program that closed when asked (or went by itself) and for one that
// had to be ended.
std::string closed_line(std::string_view image);
std::string ended_line(std::string_view image);

// Windows only: asks every program that must go (other than this process) to close through its
// visible top-level windows, waits up to 10 s in all for those it asked, then ends the rest; the
// image is checked on the handle that ends it. One line per program in the run log. Returns at
// once when none runs from the areas.
void close_programs_within(const std::vector<PathForms>& areas, const RunContext& context);

}  // namespace koravane
