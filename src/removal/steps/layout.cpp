#include "removal/steps/layout.h"

#include <algorithm>
#include <initializer_list>

#include "platform/text/path_text.h"

namespace koravane {
namespace {

template <size_t N>
bool listed(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string folder_below(std::string_view base, std::initializer_list<std::string_view> parts) {
  std::string folder(base);
  for (std::string_view part : parts) folder = join_path(folder, part);
  return folder;
}

}  // namespace

bool begins_with_app_prefix(std::string_view name) { return name.starts_with("app-"); }

bool is_version_folder_name(std::string_view name) {
  return begins_with_app_prefix(name) && name.size() > 4 && name[4] >= '0' && name[4] <= '9';
}

bool is_version_name(std::string_view name) {
  return is_version_folder_name(name) &&
         std::all_of(name.begin() + 5, name.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

bool is_launcher_evidence(std::string_view name, bool is_folder) {
  if (is_folder) return name == "app-current" || is_version_name(name);
  return name == "current.json" || name == "KoraVane Updater.exe" || name == "KoraVane-Updater.exe";
}

bool is_launcher_entry(std::string_view name) {
  return listed(kLauncherFolders, name) || listed(kLauncherFiles, name) || is_version_folder_name(name);
}

bool is_deferred_entry(std::string_view name) {
  return name == kUninstallerName || name == kUpdaterName;
}

std::string uninstall_command(std::string_view root) {
  return "\"" + join_path(root, kUninstallerName) + "\"";
}

std::string settings_folder(std::string_view appdata) {
  return join_path(appdata, kSettingsFolderName);
}

std::string start_menu_folder(std::string_view appdata) {
  return folder_below(appdata, {"Microsoft", "Windows", "Start Menu", "Programs"});
}

std::string quick_launch_folder(std::string_view appdata) {
  return folder_below(appdata, {"Microsoft", "Internet Explorer", "Quick Launch"});
}

std::string desktop_folder(std::string_view user_profile) {
  return join_path(user_profile, "Desktop");
}

std::vector<ShortcutPlace> shortcut_places(const ShortcutSources& sources) {
  const std::vector<std::string_view> start_menu_names(kStartMenuShortcuts.begin(),
                                                       kStartMenuShortcuts.end());
  std::vector<ShortcutPlace> places;
  std::optional<std::string> start_menu;
  std::optional<std::string> desktop;
  if (sources.appdata) {
    start_menu = start_menu_folder(*sources.appdata);
    places.push_back({*start_menu, start_menu_names});
    desktop = desktop_folder(sources.user_profile.value_or(""));
  } else if (sources.user_profile && !sources.user_profile->empty()) {
    desktop = desktop_folder(*sources.user_profile);  // never a folder relative to where we run
  }
  if (desktop) places.push_back({*desktop, {kDesktopShortcut}});
  const auto differs = [](const std::optional<std::string>& known, const std::optional<std::string>& built) {
    return known && !known->empty() && !(built && same_path(*known, *built));
  };
  if (differs(sources.known_programs, start_menu)) {
    places.push_back({*sources.known_programs, start_menu_names});
  }
  if (differs(sources.known_desktop, desktop)) places.push_back({*sources.known_desktop, {kDesktopShortcut}});
  return places;
}

}  // namespace koravane
