#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/steps/removal_steps.h"
#include "removal/stop/running_programs.h"
#include "removal/stop/stop_launcher.h"
#include "run/detach_win.h"
#include "run/root_safety.h"
#include "run/run_plan.h"
#include "run/run_plan_text.h"
#include "selfdelete/self_delete.h"
#include "ui/dialogs_win.h"
#include "ui/progress_win.h"

namespace koravane {
namespace {

constexpr std::string_view kRefusalLogName = "koravane-uninstall.log";

// Folders no uninstaller may remove whole, from the environment and the system's known folders,
// each with what it names (a moved or linked folder included), resolved once per run.
std::vector<PathForms> protected_folders() {
  std::vector<std::string> folders;
  const auto add = [&](const std::optional<std::string>& folder) {
    if (!folder || folder->empty()) return;
    const bool known = std::any_of(folders.begin(), folders.end(),
                                   [&](const std::string& seen) { return same_path(seen, *folder); });
    if (!known) folders.push_back(*folder);
  };
  for (const char* name : {"USERPROFILE", "APPDATA", "LOCALAPPDATA", "SystemRoot", "windir",
                           "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "TEMP", "TMP"}) {
    add(read_env_var(name));
  }
  if (const auto profile = read_env_var("USERPROFILE"); profile && !profile->empty()) {
    for (const char* name : {"Desktop", "Documents", "Downloads"}) add(join_path(*profile, name));
  }
  for (KnownFolder folder : {KnownFolder::profile, KnownFolder::roaming_app_data,
                             KnownFolder::local_app_data, KnownFolder::desktop, KnownFolder::documents,
                             KnownFolder::downloads, KnownFolder::windows, KnownFolder::program_files,
                             KnownFolder::program_files_x86}) {
    add(known_folder_path(folder));
  }
  const auto add_result = [&](const OsResult<std::string>& folder) {
    if (folder) add(folder.value());
  };
  add_result(temp_folder());
  add_result(windows_directory());
  std::vector<PathForms> forms;
  for (const std::string& folder : folders) forms.push_back(path_forms(folder));
  return forms;
}

// A refused run writes nothing inside the refused folder: its lines go to the temporary folder.
void append_refusal_log(std::string_view line) {
  if (const auto temp = temp_folder()) append_log_line(join_path(temp.value(), kRefusalLogName), line);
}

std::optional<RemovalMode> mode_of(UiResult choice) {
  switch (choice) {
    case UiResult::primary:
      return RemovalMode::launcher_only;
    case UiResult::alternate:
      return RemovalMode::full;
    default:
      return std::nullopt;  // cancel, the close glyph, or closed some other way
  }
}

// The steps of a removal in their fixed order, telling the progress window which one runs.
class Removal {
 public:
  Removal(const RunContext& context, RemovalMode mode) : context_(context), mode_(mode) {}

  void run() {
    stop_launcher_processes(context_, mode_);
    stage_ = ProgressStage::removing_shortcuts;
    const bool references_gone = remove_shortcuts(context_, mode_);
    stage_ = ProgressStage::removing_files;
    outcome_ = mode_ == RemovalMode::launcher_only ? run_launcher_only_removal(context_, &progress_)
                                                   : run_full_removal(context_, &progress_);
    // A deferred path the script cannot name stays too: known now, before the registration goes.
    ScriptPaths script = script_paths(outcome_.deferred_paths, context_.log);
    outcome_.deferred_paths = std::move(script.named);
    outcome_.way_back_kept = outcome_.way_back_kept || !script.all_named;
    outcome_.complete = outcome_.complete && script.all_named;
    // While files of the root stay, the person needs the way to start the removal again.
    if (outcome_.way_back_kept) {
      context_.log.append(way_back_line(context_.root.path));
    } else {
      remove_uninstall_registration();
    }
    outcome_.complete = outcome_.complete && references_gone;
  }
  // Read while run() goes on in another thread: only atomics.
  ProgressSnapshot snapshot() const {
    return {stage_.load(), progress_.files_removed.load(std::memory_order_relaxed),
            progress_.entries_done.load(std::memory_order_relaxed),
            progress_.entries_total.load(std::memory_order_relaxed)};
  }
  // Once run() has returned.
  const RemovalOutcome& outcome() const { return outcome_; }

 private:
  const RunContext& context_;
  RemovalMode mode_;
  std::atomic<ProgressStage> stage_{ProgressStage::closing_launcher};
  RemovalProgress progress_;
  RemovalOutcome outcome_;
};

// The very last act: the script then finds this process gone, and the notice was read in peace.
// Its line that ends the launcher by name is written only while that reaches no other install.
void finish(const RemovalOutcome& outcome, const RunContext& context, RemovalMode mode) {
  if (outcome.deferred_paths.empty()) return;
  schedule_self_deletion(outcome.deferred_paths, context, image_line_may_run_now(context, mode, "KoraVane.exe"));
}

}  // namespace

void run_plan(const LaunchOptions& options, const RunContext& context) {
  const InstallRoot& root = context.root;
  const std::vector<std::string> first_lines = opening_lines(options.quiet, root);
  if (const auto refusal = refusal_reason(root, protected_folders())) {
    for (const std::string& line : first_lines) append_refusal_log(line);
    append_refusal_log(refusal_line(root.path, *refusal));
    if (!options.quiet) show_notice(refusal_notice(root.path));
    return;
  }
  // Started by the launcher, the run would be ended with it: it goes on outside its tree, and
  // only the copy that goes on writes to the run log.
  const Continuation continuation = continue_outside_the_launcher(context);
  if (continuation.moved_on) return;
  for (const std::string& line : first_lines) context.log.append(line);
  if (continuation.failure) context.log.append(fail_line("detach", continuation.failure->code));
  if (continuation.stuck) {  // the stop step would end this run half-way: nothing is begun
    context.log.append(stuck_line());
    if (!options.quiet) show_notice(stuck_notice());
    return;
  }
  if (options.quiet) {
    Removal removal(context, RemovalMode::full);
    removal.run();
    finish(removal.outcome(), context, RemovalMode::full);
    return;
  }
  const UiOutcome choice = ask_removal_choice();
  const std::optional<RemovalMode> mode = mode_of(choice.result);
  if (!mode) return;
  // The removal runs beside the progress window, which takes the dialog's place; the notice then
  // takes the progress window's.
  Removal removal(context, *mode);
  const std::optional<UiPlace> place =
      run_with_progress(choice.closed_at, [&] { removal.run(); }, [&] { return removal.snapshot(); });
  show_notice(notice_message(*mode, removal.outcome().complete, removal.outcome().way_back_kept), place);
  finish(removal.outcome(), context, *mode);
}

}  // namespace koravane
