#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "removal/steps/layout.h"

namespace koravane {
namespace {

TEST(Layout, LauncherEntriesAreTheListedNamesAndVersionedAppFolders) {
  for (const char* name :
       {"app-1.5.84", "app-2", "app-0beta", "app-current", "app-install.json", "app", "app.next",
        "packages", "updates", "current.json", "version.json", "icon.ico", "bootstrap-config.json",
        "update-stub.meta.json", "KoraVane Updater.exe", "KoraVane-Updater.exe", "Update.exe",
        "Uninstall.exe"}) {
    EXPECT_TRUE(is_launcher_entry(name)) << name;
  }
  for (const char* name : {"app-data", "app-x1", "app-", "app-\xEF\xBF\xBD", "KoraVane.exe",
                           "options.txt", "saves", "Packages", "UPDATES", "update.exe",
                           "uninstall.exe", "App-1", " app-1", "packages ", "current.json.bak"}) {
    EXPECT_FALSE(is_launcher_entry(name)) << name;
  }
}

// The character after "app-" decides: every ASCII digit counts, its neighbours '/' and ':' and
// the digit look-alikes outside ASCII do not.
TEST(Layout, EveryDigitAfterTheAppPrefixAndNothingAroundIt) {
  for (char digit = '0'; digit <= '9'; ++digit) {
    EXPECT_TRUE(is_launcher_entry(std::string("app-") + digit)) << digit;
    EXPECT_TRUE(is_launcher_entry(std::string("app-") + digit + ".x")) << digit;
  }
  for (const char* name : {"app-/", "app-:", "app-.1", "app--1", "app-\xD9\xA1", "app-\xEF\xBC\x91",
                           "app1", "ap-1", "-1"}) {
    EXPECT_FALSE(is_launcher_entry(name)) << name;
  }
  // A name cut from longer text ends where its view ends.
  EXPECT_FALSE(is_launcher_entry(std::string_view("app-1", 4)));
}

TEST(Layout, OnlyTheUninstallerAndUpdaterAreDeferred) {
  EXPECT_TRUE(is_deferred_entry("Uninstall.exe"));
  EXPECT_TRUE(is_deferred_entry("Update.exe"));
  EXPECT_FALSE(is_deferred_entry("uninstall.exe"));
  EXPECT_FALSE(is_deferred_entry("KoraVane Updater.exe"));
}

TEST(Layout, AnyAppPrefixMarksTheRoot) {
  EXPECT_TRUE(begins_with_app_prefix("app-"));
  EXPECT_TRUE(begins_with_app_prefix("app-data"));
  EXPECT_FALSE(begins_with_app_prefix("app"));
  EXPECT_FALSE(begins_with_app_prefix("APP-1"));
}

TEST(Layout, PlacesOutsideTheRootAreBuiltFromTheEnvironment) {
  EXPECT_EQ(settings_folder("C:\\Users\\u\\AppData\\Roaming"),
            "C:\\Users\\u\\AppData\\Roaming\\koravane-launcher");
  EXPECT_EQ(start_menu_folder("C:\\R\\"), "C:\\R\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(desktop_folder("C:\\Users\\Иван"), "C:\\Users\\Иван\\Desktop");
  // Empty values give paths relative to the current directory.
  EXPECT_EQ(settings_folder(""), "koravane-launcher");
  EXPECT_EQ(desktop_folder(""), "Desktop");
}

// Each place as "folder: name, name".
std::vector<std::string> described(const std::vector<ShortcutPlace>& places) {
  std::vector<std::string> out;
  for (const ShortcutPlace& place : places) {
    std::string line = place.folder + ":";
    for (std::string_view name : place.names) line += " " + std::string(name) + ",";
    out.push_back(line);
  }
  return out;
}

TEST(Layout, ShortcutsGoFromTheBuiltFoldersAndFromMovedKnownFolders) {
  const std::string roaming = "C:\\Users\\u\\AppData\\Roaming";
  const std::string programs = roaming + "\\Microsoft\\Windows\\Start Menu\\Programs";
  const std::string start = programs + ": Удалить KoraVane.lnk, Uninstall KoraVane.lnk, KoraVane.lnk,";
  const std::string cloud = "C:\\Users\\u\\OneDrive\\Рабочий стол";
  struct Case {
    const char* what;
    ShortcutSources sources;
    std::vector<std::string> places;
  };
  const Case cases[] = {
      {"known folders where the environment says", {roaming, "C:\\Users\\u", programs, "C:\\Users\\u\\Desktop"},
       {start, "C:\\Users\\u\\Desktop: KoraVane.lnk,"}},
      {"same folders spelt otherwise", {roaming, "C:\\Users\\u", "c:/users/U/appdata/roaming/microsoft/windows/start menu/programs/", "C:\\USERS\\u\\desktop"},
       {start, "C:\\Users\\u\\Desktop: KoraVane.lnk,"}},
      {"a Desktop moved into the cloud", {roaming, "C:\\Users\\u", programs, cloud},
       {start, "C:\\Users\\u\\Desktop: KoraVane.lnk,", cloud + ": KoraVane.lnk,"}},
      {"a moved Programs folder", {roaming, "C:\\Users\\u", "D:\\Menu", std::nullopt},
       {start, "C:\\Users\\u\\Desktop: KoraVane.lnk,",
        "D:\\Menu: Удалить KoraVane.lnk, Uninstall KoraVane.lnk, KoraVane.lnk,"}},
      {"no APPDATA: the desktop still goes", {std::nullopt, "C:\\Users\\u", std::nullopt, cloud},
       {"C:\\Users\\u\\Desktop: KoraVane.lnk,", cloud + ": KoraVane.lnk,"}},
      {"no APPDATA and no USERPROFILE: no folder relative to where we run", {std::nullopt, std::nullopt, std::nullopt, cloud},
       {cloud + ": KoraVane.lnk,"}},
      {"no APPDATA and an empty USERPROFILE", {std::nullopt, "", std::nullopt, std::nullopt}, {}},
      {"APPDATA without USERPROFILE keeps the relative desktop", {roaming, std::nullopt, "", ""},
       {start, "Desktop: KoraVane.lnk,"}},
  };
  for (const Case& c : cases) EXPECT_EQ(described(shortcut_places(c.sources)), c.places) << c.what;
}

}  // namespace
}  // namespace koravane
