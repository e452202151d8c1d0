#include <windows.h>

#include <algorithm>

#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/context/run_context.h"
#include "platform/context/run_log.h"
#include "removal/steps/layout.h"
#include "removal/steps/removal_steps.h"
#include "removal/steps/root_clearing.h"
#include "removal/tree/tree_removal.h"
#include "removal/tree/tree_removal_system_win.h"

namespace koravane {
namespace {

// Whether every entry that stayed is a file this run holds open itself, as its standard output
// redirected into the root: it goes once the run has exited, like the running executable.
bool held_only_by_this_run(const StayedEntries& stayed) {
  std::vector<FileIdentity> own;
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) continue;
    if (const std::optional<FileIdentity> identity = identity_of(handle)) own.push_back(*identity);
  }
  return !own.empty() && std::all_of(stayed.begin(), stayed.end(), [&](const StayedEntry& entry) {
    const std::optional<ResolvedFile> file = resolve_file(entry.path);
    return file && std::find(own.begin(), own.end(), file->identity) != own.end();
  });
}

}  // namespace

RemovalOutcome run_full_removal(const RunContext& context, RemovalProgress* progress) {
  LoggedStayedLines stayed_lines(context.log);
  if (const auto appdata = read_env_var("APPDATA")) {
    // Missing settings count as removed; stubborn ones are named, and the run goes on.
    const std::string settings = settings_folder(*appdata);
    StayedEntries stayed;
    if (remove_tree_with_retries(settings, {progress, &stayed})) {
      context.log.append("settings removed: " + display_text(settings));
    }
    name_stayed(stayed_lines, stayed);
  }
  // The running uninstaller cannot delete itself: with it in the root, everything else goes and
  // the root waits for the deferred script.
  const PathForms executable{context.executable, context.executable_final};
  const RootRemovalRequest request{context.root.absolute, context.root.final,
                                   entry_holding(root_forms(context.root), executable)};
  Win32RemovalSystem system;
  RootRemoval removal = remove_install_root(system, process_no_reparse_flag(), request, progress);
  if (removal.way_back_kept && held_only_by_this_run(removal.stayed)) {
    removal.way_back_kept = false;
    removal.deferred = removal.whole;
  }
  name_stayed(stayed_lines, removal.stayed);
  stayed_lines.finish();
  return {removal.deferred, removal.stayed.empty(), removal.way_back_kept};
}

}  // namespace koravane
