#pragma once
// Programs still running when a removal begins: the launcher's own, which are ended by name, and
// those running from what the removal takes away (a game started by the launcher outlives it and
// holds its files open). Each is first asked to close as a person would close it; what is still
// running afterwards is ended. Nothing outside what the chosen mode removes is ever ended by the
// step itself.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/files/path_identity.h"
#include "platform/processes/processes.h"
#include "platform/context/run_context.h"
#include "platform/context/run_log.h"
#include "removal/steps/removal_steps.h"

namespace koravane {

// Where no program may keep running, each in the root's two forms (as spelled and as resolved):
// the whole root for full removal; for launcher-only removal the root's launcher entries (the
// updater among them), whose names come from its listing.
std::vector<PathForms> removal_areas(RemovalMode mode, const PathForms& root,
                                     const std::vector<std::string>& top_level_names);

// Windows only: the areas of this run's root, from its listing for launcher-only removal. A root
// that cannot be listed has no entries we could name; its removal then fails and says so.
std::vector<PathForms> removal_areas(const RunContext& context, RemovalMode mode);

// Copies of this uninstaller (this very executable, the root's own "Uninstall.exe"), which finish
// their run by themselves and are never asked to close nor ended: known by their paths and by the
// files they are.
struct UninstallerCopies {
  std::vector<PathForms> paths;
  std::vector<FileIdentity> identities;
};

// Whether the program whose executable is image is such a copy, however either is spelled.
bool is_uninstaller_copy(const FileForms& image, const UninstallerCopies& copies);

// Whether the program whose executable is image must go before the removal: it lies within one
// of the areas, in either form, and is no copy of this uninstaller.
bool must_close(const FileForms& image, const std::vector<PathForms>& areas, const UninstallerCopies& copies);

// The position of name (a process list's file name) in the launcher's image list, compared as
// Windows compares image names: "koravane.EXE" is one, "KoraVane2.exe" none.
std::optional<size_t> launcher_image_index(std::string_view name);

// Whether a process of one of the launcher's images (by its listed name) belongs to this install:
// its image lies in one of the areas, in either form, or cannot be read. Another install's
// launcher, and whatever it started, is never asked nor ended.
bool is_own_launcher_process(const ProcessEntry& process, const std::vector<PathForms>& areas);

// Whether a stop step of some removal of this root could end the process: one of this install's
// launcher processes, or a program that lies in the root (no copy of this uninstaller). A run
// that descends from such a process would be ended with it.
bool may_be_stopped(const ProcessEntry& process, const PathForms& root, const UninstallerCopies& copies);

// What the stop step works on for one removal.
struct StopScope {
  RemovalMode mode = RemovalMode::full;
  std::vector<PathForms> areas;  // see removal_areas
  UninstallerCopies copies;
};

// A program the stop step asks to close. Lines are positions in the launcher's image list.
struct StopTarget {
  size_t entry = 0;                  // its entry in the snapshot
  bool must_go = false;              // lies in an area: ended by the step if it outlives the rest
  std::optional<size_t> image_line;  // the task-kill line that names its image
  std::optional<size_t> tree_line;   // in full removal: the first line whose tree holds it
};

// The programs of the snapshot that the step asks to close, in snapshot order: this install's
// launcher processes, in full removal everything they started (which their task-kill lines end
// with them), and every program that must go. Never the process own_id, nor a copy of the
// uninstaller.
std::vector<StopTarget> stop_targets(const std::vector<ProcessEntry>& processes, uint32_t own_id,
                                     const StopScope& scope);

// For each of the launcher's images, whether its task-kill line may run: a line ends every
// process of its image by name (and in full removal what each started), so only while no
// process of that image runs from another install. Otherwise the step ends this install's
// processes of the image itself, as the line would have.
std::vector<bool> lines_that_may_run(const std::vector<ProcessEntry>& processes, const StopScope& scope);

// Windows only: lines_that_may_run for image (one of the launcher's) from a fresh snapshot, as the
// run ends: whether the deferred script may end every process of that image by name. This
// install's processes of the image were ended through their handles by the stop step already.
bool image_line_may_run_now(const RunContext& context, RemovalMode mode, std::string_view image);

// What the run log says of a target that is gone by the end of the step: "closed" when it went
// after it was asked (or, never asked, went from an area by itself); "ended" when a task-kill line
// that reached it ran after it had been asked and had not closed; nothing when such a line ended it
// unasked, as it always has.
std::optional<std::string> gone_line(std::string_view image, bool asked, bool gone_before_lines,
                                     bool reached_by_a_line_that_ran, bool must_go);

// The run-log lines for a program that closed when asked (or went by itself) and for one that
// had to be ended.
std::string closed_line(std::string_view image);
std::string ended_line(std::string_view image);

// One task-kill child for one of the launcher's images.
struct TaskKillLine {
  std::string_view image;
  ChildCommand command;
};

// What one stop step did: the 800 ms pause follows only when it did anything.
struct StopOutcome {
  int lines_run = 0;  // task-kill children started
  int asked = 0;      // programs asked to close through their windows
  int ended = 0;      // programs the step ended itself (in a line's place too)
  // The executables of the programs that had to go and could not be ended: what they hold stays.
  std::vector<std::string> left_running;
};

// Windows only: this executable and the root's own uninstaller, each opened once.
UninstallerCopies uninstaller_copies(const RunContext& context);

// Windows only: the stop step's work on the programs, without its pause (see stop_processes).
StopOutcome stop_running_programs(const std::vector<TaskKillLine>& lines, const StopScope& scope,
                                  const RunLog& log);

}  // namespace koravane
