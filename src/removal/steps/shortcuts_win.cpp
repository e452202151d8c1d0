#include <windows.h>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "removal/steps/layout.h"
#include "removal/references/references.h"
#include "removal/steps/removal_steps.h"
#include "removal/stop/running_programs.h"
#include "removal/tree/tree_removal.h"

namespace koravane {

bool remove_shortcuts(const RunContext& context, RemovalMode mode) {
  const ShortcutSources sources{read_env_var("APPDATA"), read_env_var("USERPROFILE"),
                                known_folder_path(KnownFolder::programs),
                                known_folder_path(KnownFolder::desktop)};
  // Every result here is dropped: a missing shortcut is the normal case.
  for (const ShortcutPlace& place : shortcut_places(sources)) {
    for (std::string_view name : place.names) (void)remove_single_file(join_path(place.folder, name));
  }
  // What else points into what this removal takes goes by where it points, and says so.
  return remove_references(removal_areas(context, mode), sources, context.log);
}

}  // namespace koravane
