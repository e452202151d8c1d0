#include <windows.h>

#include "platform/env.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "removal/tree_removal.h"

namespace koravane {

void remove_shortcuts_and_registration() {
  // Every result here is dropped: a missing shortcut or key is the normal case.
  if (const auto appdata = read_env_var("APPDATA")) {
    const std::string start_menu = start_menu_folder(*appdata);
    for (std::string_view shortcut : kStartMenuShortcuts) {
      (void)remove_single_file(join_path(start_menu, shortcut));
    }
    const std::string profile = read_env_var("USERPROFILE").value_or("");
    (void)remove_single_file(join_path(desktop_folder(profile), kDesktopShortcut));
  }
  const std::wstring key = to_wide(kUninstallKey);
  (void)RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace koravane
