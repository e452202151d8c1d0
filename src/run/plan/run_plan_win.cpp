#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/steps/registration.h"
#include "removal/steps/removal_steps.h"
#include "removal/stop/running_programs.h"
#include "removal/stop/stop_launcher.h"
#include "removal/worlds/worlds.h"
#include "run/detach/detach_win.h"
#include "run/root/one_removal.h"
#include "run/root/one_removal_win.h"
#include "run/root/root_safety.h"
#include "run/plan/run_plan.h"
#include "run/plan/run_plan_text.h"
#include "selfdelete/self_delete.h"
#include "ui/dialogs_win.h"
#include "ui/other_run/other_run_win.h"
#include "ui/progress_win.h"
#include "ui/world_text.h"

namespace koravane {
namespace {

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
    std::vector<std::string> programs_left = stop_launcher_processes(context_, mode_);
    stage_ = ProgressStage::removing_shortcuts;
    const bool references_gone = remove_shortcuts(context_, mode_);
    stage_ = ProgressStage::removing_files;
    outcome_ = mode_ == RemovalMode::launcher_only ? run_launcher_only_removal(context_, &progress_)
                                                   : run_full_removal(context_, &progress_);
    outcome_.programs_left = std::move(programs_left);
    // A deferred path the script cannot name stays too: known now, before the registration goes.
    ScriptPaths script = script_paths(outcome_.deferred_paths, context_.log);
    outcome_.deferred_paths = std::move(script.named);
    outcome_.stayed.insert(outcome_.stayed.end(), script.left.begin(), script.left.end());
    const bool all_named = script.left.empty();
    outcome_.way_back_kept = outcome_.way_back_kept || !all_named;
    const bool registration_settled = settle_registration();
    outcome_.complete = outcome_.complete && all_named && references_gone && registration_settled;
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
  // While files of the root stay, the person needs the way to start the removal again: the
  // registration stays and names the root, whatever its run log can keep. Otherwise it goes whole.
  // Whether it went as asked.
  bool settle_registration() {
    const InstallRoot& root = context_.root;
    const bool keep = outcome_.way_back_kept;
    const OsStatus settled = keep ? name_root_in_registration(root.final) : remove_uninstall_registration();
    if (keep) context_.log.append(way_back_line(root.path, root.final));
    if (!settled) context_.log.append(fail_line(uninstall_key_item(), settled.error().code));
    return settled.ok();
  }

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

// Another run of the root holds its lock. While it only asks, its dialog comes to the front and
// this run shows nothing; while it removes, an interactive run says so beside its window.
void meet_other_run(const LaunchOptions& options, const RemovalLock& lock) {
  const OtherRun other = read_other_run(lock);
  std::optional<ShownWindow> shown = shown_window_of(other.process_id);
  // A run that has only just begun to ask shows its dialog a moment later.
  for (int tries = 0; !options.quiet && other.asking && !shown && tries < 50; ++tries) {
    Sleep(20);
    shown = shown_window_of(other.process_id);
  }
  if (!options.quiet && other.asking && shown) {
    bring_to_front(shown->window);
    append_temporary_log(asking_elsewhere_line());
    return;
  }
  append_temporary_log(under_way_line());
  if (!options.quiet) show_notice(under_way_notice(), {.beside = shown ? std::optional(shown->box) : std::nullopt});
}

}  // namespace

void run_plan(const LaunchOptions& options, const RunContext& context) {
  const InstallRoot& root = context.root;
  const std::vector<std::string> first_lines = opening_lines(options.quiet, root);
  // Started by the launcher, the run would be ended with it: it goes on outside its tree, and
  // only the copy that goes on decides about the root and writes to the run log. Nothing before
  // this touches the root.
  const Continuation continuation = continue_outside_the_launcher(context);
  if (continuation.moved_on) return;
  if (const auto refusal = refusal_reason(root, protected_folders())) {
    // A refused run writes nothing inside the refused folder: its lines go to the temporary folder.
    for (const std::string& line : first_lines) append_temporary_log(line);
    append_temporary_log(refusal_line(root.path, *refusal));
    if (!options.quiet) show_notice(refusal_notice(root.path, *refusal));
    return;
  }
  // Held to the end of the run: another run on this root meanwhile touches nothing, and its lines
  // go to the temporary folder.
  const RemovalLock lock = take_removal_lock(root);
  if (lock.under_way_elsewhere) {
    for (const std::string& line : first_lines) append_temporary_log(line);
    meet_other_run(options, lock);
    return;
  }
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
  // The dialog names the worlds that full removal sends to the Recycle Bin once they are found, and
  // the folders it could not look into; the removal finds them again itself, whenever the choice
  // comes. While the dialog asks, another run of the root brings it to the front.
  tell_asking(lock, true);
  UiOutcome choice = ask_removal_choice([&root](const std::atomic<bool>& stop) -> std::optional<std::string> {
    const WorldSearch search = find_worlds(folder_full_removal_empties(root), {.with_sizes = true, .stop = &stop});
    if (search.worlds.empty() && search.unread_folders == 0) return std::nullopt;
    return removal_choice_body(search.worlds.size(), total_bytes(search.worlds), search.unread_folders);
  });
  tell_asking(lock, false);
  const std::optional<RemovalMode> mode = mode_of(choice.result);
  if (!mode) return;
  // The removal runs beside the progress window, which takes the dialog's place; the notice then
  // takes the progress window's.
  Removal removal(context, *mode);
  ClosedWindow progress =
      run_with_progress(std::move(choice.window), [&] { removal.run(); }, [&] { return removal.snapshot(); });
  show_notice(removal_notice(*mode, removal.outcome(), root.absolute), {.replaces = &progress});
  finish(removal.outcome(), context, *mode);
}

}  // namespace koravane
