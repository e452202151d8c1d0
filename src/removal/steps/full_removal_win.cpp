#include <windows.h>

#include <algorithm>

#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/context/run_context.h"
#include "platform/context/run_log.h"
#include "removal/steps/held_by_this_run.h"
#include "removal/steps/layout.h"
#include "removal/steps/removal_steps.h"
#include "removal/steps/root_clearing.h"
#include "removal/tree/tree_removal.h"
#include "removal/tree/tree_removal_system_win.h"
#include "removal/worlds/worlds.h"

namespace koravane {
namespace {

struct WorldsSent {
  uint64_t recycled = 0;
  StayedEntries left;  // what the bin would not take, with why
};

// The player's worlds go to the Recycle Bin before the rest of the root, each on its own, so that
// one the bin refuses costs only itself; that one stays where it is. They are found and recycled
// in the folder the removal empties, and named as the person knows them, under the root's spelling.
WorldsSent send_worlds_to_the_bin(const RunContext& context, const std::string& folder) {
  WorldsSent sent;
  const std::string& root = context.root.absolute;
  for (const World& world : find_worlds(folder).worlds) {
    const std::string named = folder == root ? world.path : join_path(root, relative_to(folder, world.path));
    if (const OsStatus recycled = recycle_world(world.path); recycled) {
      ++sent.recycled;
      context.log.append("recycled " + display_text(named));
    } else {
      sent.left.push_back({.path = named, .error = recycled.error().code, .world = true});
    }
  }
  return sent;
}

}  // namespace

std::string folder_full_removal_empties(const InstallRoot& root) {
  Win32RemovalSystem system;
  return folder_emptied(system, root.absolute, root.final);
}

RemovalOutcome run_full_removal(const RunContext& context, RemovalProgress* progress) {
  LoggedStayedLines stayed_lines(context.log);
  bool settings_went = true;
  StayedEntries all_stayed;
  if (const auto appdata = read_env_var("APPDATA")) {
    // Missing settings count as removed; stubborn ones are named, and the run goes on.
    const std::string settings = settings_folder(*appdata);
    StayedEntries stayed;
    settings_went = remove_tree_with_retries(settings, {progress, &stayed}).ok();
    if (settings_went) context.log.append("settings removed: " + display_text(settings));
    name_stayed(stayed_lines, stayed);
    all_stayed = stayed;
  }
  const WorldsSent worlds = send_worlds_to_the_bin(context, folder_full_removal_empties(context.root));
  name_stayed(stayed_lines, worlds.left);
  all_stayed.insert(all_stayed.end(), worlds.left.begin(), worlds.left.end());
  // The running uninstaller cannot delete itself: with it in the root, everything else goes and
  // the root waits for the deferred script.
  const PathForms executable{context.executable, context.executable_final};
  const RootRemovalRequest request{context.root.absolute, context.root.final,
                                   entry_holding(root_forms(context.root), executable), stayed_paths(worlds.left),
                                   !context.log.write_error()};
  Win32RemovalSystem system;
  RootRemoval removal = remove_install_root(system, process_no_reparse_flag(), request, progress);
  // A file the run itself holds open (its output redirected into the root) goes after it, like its
  // executable, and so does a folder that stays only for such files.
  const bool only_this_run_holds =
      removal.way_back_kept && worlds.left.empty() && stayed_only_for_this_run(removal.stayed);
  if (only_this_run_holds) {
    removal.way_back_kept = false;
    removal.deferred = removal.whole;
  }
  name_stayed(stayed_lines, removal.stayed);
  stayed_lines.finish();
  if (!only_this_run_holds) all_stayed.insert(all_stayed.end(), removal.stayed.begin(), removal.stayed.end());
  const bool complete = settings_went && worlds.left.empty() && (removal.stayed.empty() || only_this_run_holds);
  return {.deferred_paths = removal.deferred,
          .complete = complete,
          .way_back_kept = removal.way_back_kept,
          .stayed = std::move(all_stayed),
          .worlds_recycled = worlds.recycled,
          .worlds_kept = worlds.left.size()};
}

}  // namespace koravane
