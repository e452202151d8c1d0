#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "removal/removal_steps.h"
#include "removal/stop_launcher.h"
#include "run/root_safety.h"
#include "run/run_plan.h"
#include "run/run_plan_text.h"
#include "selfdelete/self_delete.h"
#include "ui/dialogs_win.h"

namespace koravane {
namespace {

constexpr std::string_view kRefusalLogName = "koravane-uninstall.log";

// The root as an absolute path (the empty root is the current directory); as given if the
// system cannot say.
std::string absolute_root(const std::string& root) {
  OsResult<std::string> full = absolute_path(root);
  return full ? std::move(full).value() : root;
}

// Folders no uninstaller may remove whole, from the environment and the system's known folders.
std::vector<std::string> protected_folders() {
  std::vector<std::string> folders;
  const auto add = [&](const std::optional<std::string>& folder) {
    if (folder && !folder->empty()) folders.push_back(*folder);
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
  return folders;
}

// A refused run writes nothing inside the refused folder: its lines go to the temporary folder.
void append_refusal_log(std::string_view line) {
  if (const auto temp = temp_folder()) append_log_line(join_path(temp.value(), kRefusalLogName), line);
}

std::optional<RemovalMode> chosen_mode(bool quiet) {
  if (quiet) return RemovalMode::full;
  switch (show_removal_choice()) {
    case UiResult::primary:
      return RemovalMode::launcher_only;
    case UiResult::alternate:
      return RemovalMode::full;
    default:
      return std::nullopt;  // cancel, the close glyph, or closed some other way
  }
}

}  // namespace

void run_plan(const LaunchOptions& options, const InstallRoot& root) {
  const std::string first_line = start_line(options.quiet, root.path);
  const bool markers = root.source == RootSource::executable_folder || has_launcher_evidence(root.path);
  if (const auto refusal = refusal_reason(absolute_root(root.path), root.source, markers,
                                          protected_folders())) {
    append_refusal_log(first_line);
    append_refusal_log(refusal_line(root.path, *refusal));
    if (!options.quiet) show_notice(refusal_notice(root.path));
    return;
  }
  append_run_log(root.path, first_line);
  const auto mode = chosen_mode(options.quiet);
  if (!mode) return;
  stop_launcher_processes(root.path, *mode);
  remove_shortcuts_and_registration();
  const RemovalOutcome outcome = *mode == RemovalMode::launcher_only
                                     ? run_launcher_only_removal(root.path)
                                     : run_full_removal(root.path);
  if (!options.quiet) show_notice(notice_message(*mode, outcome.complete));
  // The very last act: the script then finds this process gone, and the notice was read in peace.
  if (!outcome.deferred_paths.empty()) schedule_self_deletion(outcome.deferred_paths, root.path);
}

}  // namespace koravane
