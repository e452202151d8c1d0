#pragma once
// What belongs to the launcher: names in the install root and places outside it.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

// Install-root entries that launcher-only removal takes away. Whether an entry goes as a folder
// tree or as a file depends on what it is on disk, not on the list it came from.
inline constexpr std::array<std::string_view, 5> kLauncherFolders = {
    "app", "app-current", "app.next", "packages", "updates"};
inline constexpr std::array<std::string_view, 10> kLauncherFiles = {
    "Update.exe",        "Uninstall.exe",         "KoraVane-Updater.exe", "KoraVane Updater.exe",
    "current.json",      "bootstrap-config.json", "icon.ico",             "version.json",
    "app-install.json",  "update-stub.meta.json"};

// The uninstaller as the install lays it out (the one the uninstall registration starts) and the
// updater beside it.
inline constexpr std::string_view kUninstallerName = "Uninstall.exe";
inline constexpr std::string_view kUpdaterName = "Update.exe";

// The images of the launcher and its updater, in the order they are ended. "Update.exe" and
// "Uninstall.exe" are not here: both names are common among other programs' updaters and
// uninstallers. The root's own updater goes with the programs running from the root, and this
// program ends by itself.
inline constexpr std::array<std::string_view, 3> kLauncherImages = {
    "KoraVane.exe", "KoraVane Updater.exe", "KoraVane-Updater.exe"};

inline constexpr std::string_view kSettingsFolderName = "koravane-launcher";
inline constexpr std::array<std::string_view, 3> kStartMenuShortcuts = {
    "Удалить KoraVane.lnk", "Uninstall KoraVane.lnk", "KoraVane.lnk"};
inline constexpr std::string_view kDesktopShortcut = "KoraVane.lnk";
inline constexpr std::string_view kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KoraVane";
// The name the list of installed programs shows for the key.
inline constexpr std::string_view kDisplayName = "KoraVane";
// The command the list starts to remove the install at root: its uninstaller, quoted.
std::string uninstall_command(std::string_view root);

// Names are compared exactly, with case, as display text (U+FFFD for undecodable units).
bool begins_with_app_prefix(std::string_view name);
// "app-" followed by an ASCII digit: a version of the launcher's program folder.
bool is_version_folder_name(std::string_view name);
// "app-", an ASCII digit, then only digits and dots ("app-1.5.84"): as a folder, a version of
// the launcher's program.
bool is_version_name(std::string_view name);
// An entry that shows a folder reached only by a fallback is a launcher's, since no other
// program's folder holds it by accident, taken by what the listing says it is (a link to a folder
// is a folder): the folder "app-current" or a version folder, the file "current.json" or one of
// the updater's executables. "app-2.docx" or a folder "current.json" is no such entry.
bool is_launcher_evidence(std::string_view name, bool is_folder);
// A listed name, or "app-" followed by an ASCII digit.
bool is_launcher_entry(std::string_view name);
// Entries the running uninstaller cannot remove itself: handed to the deferred script.
bool is_deferred_entry(std::string_view name);

std::string settings_folder(std::string_view appdata);
std::string start_menu_folder(std::string_view appdata);
// The taskbar's pinned and Quick Launch shortcuts live below it.
std::string quick_launch_folder(std::string_view appdata);
std::string desktop_folder(std::string_view user_profile);

// Where the launcher's shortcuts may lie: what the environment says, and what the shell says of
// the Start menu's Programs folder and of the Desktop, which may have been moved (a Desktop
// synced to the cloud, say).
struct ShortcutSources {
  std::optional<std::string> appdata;
  std::optional<std::string> user_profile;
  std::optional<std::string> known_programs;
  std::optional<std::string> known_desktop;
};

// A folder and the shortcut names to remove from it.
struct ShortcutPlace {
  std::string folder;
  std::vector<std::string_view> names;
};

// The Start-menu folder from APPDATA and the desktop folder from USERPROFILE (only with APPDATA,
// or from a USERPROFILE that is set), then the known Programs and Desktop folders wherever they
// name other folders. The same names go from each Start-menu place and from each desktop place.
std::vector<ShortcutPlace> shortcut_places(const ShortcutSources& sources);

}  // namespace koravane
