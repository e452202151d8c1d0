#pragma once
// What of the user's still points at what a removal takes away: autostart values, link handlers
// and shortcuts beyond the launcher's own named ones. Each is removed by where it points, never
// by its name, so that nothing of another program's goes with it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/path_identity.h"
#include "platform/context/run_log.h"
#include "removal/steps/layout.h"

namespace koravane {

// Keys under HKEY_CURRENT_USER. A StartupApproved value, named like its Run value or its
// Startup-folder shortcut, is what Task Manager keeps for it once it was switched off or on.
inline constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr std::string_view kApprovedRunKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
inline constexpr std::string_view kApprovedStartupFolderKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";
inline constexpr std::string_view kClassesKey = "Software\\Classes";

using FileCheck = std::function<bool(std::string_view path)>;
using VariableLookup = std::function<std::optional<std::string>(std::string_view name)>;

// %NAME% replaced by the variable's value where one is set; everything else as written.
std::string expand_variables(std::string_view text, const VariableLookup& lookup);

// The program a command line starts, as Windows finds it: the quoted text when the command
// begins with a quote; else the text up to the first space before which the text names an
// existing file or ends in ".exe", else the whole text. A name without an extension gets ".exe",
// as the system adds it. Nothing for an empty command or an unclosed quote. Its arguments never
// count, whatever they name.
std::optional<std::string> command_program(std::string_view command, const FileCheck& names_file);

// Whether target, a program or a shortcut's target, lies within one of the areas a removal
// takes, in either of an area's forms (a root reached through a link or an 8.3 name is still the
// place its final path names). Only a fully qualified path can; "." and ".." are resolved by text
// first. The target itself is compared as written, not opened: items are many, and each open
// would cost more than the whole look.
bool points_into(std::string_view target, const std::vector<PathForms>& areas);

// Where shortcuts are looked for: the top level of a desktop; a Start menu's Programs folder
// (its Startup folder included) and the taskbar's Quick Launch folder with their subfolders.
enum class LinkPlaceKind { desktop, start_menu, quick_launch };
struct LinkPlace {
  std::string folder;
  LinkPlaceKind kind;
};

// The shell's Desktop and USERPROFILE's, the shell's Programs folder and APPDATA's, APPDATA's
// Quick Launch; each once, and only where it names an absolute folder.
std::vector<LinkPlace> link_places(const ShortcutSources& sources);

// The launcher's named shortcuts, which go by name and silently, as comparable_path gives them.
std::vector<std::string> named_shortcuts(const ShortcutSources& sources);

// Whether a file's name says it is a shortcut (".lnk" in any case).
bool is_link_file(std::string_view name);

// The Startup folder of a Start menu's Programs folder.
std::string startup_folder(std::string_view programs);

// The subfolders of the Programs folder that removing these files may have emptied, each once,
// every folder before its parent; never the Programs folder itself or its Startup folder.
std::vector<std::string> folders_to_prune(const std::vector<std::string>& removed,
                                          std::string_view programs);

// "removed {what}", what shown as display text.
std::string removed_line(std::string_view what);
// How the run log names a registry key, or a value of it: "HKCU\{key}" or "HKCU\{key}\{value}".
std::string registry_item(std::string_view key, std::optional<std::string_view> value = std::nullopt);

// Windows only: removes every autostart value, link handler and shortcut (as above) that points
// into the areas, one run-log line each; a failure is logged and leaves the rest to go on.
// Whether everything that pointed there went.
[[nodiscard]] bool remove_references(const std::vector<PathForms>& areas,
                                     const ShortcutSources& sources, const RunLog& log);

}  // namespace koravane
