#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text/path_text.h"
#include "removal/references/references.h"
#include "removal/stop/running_programs.h"

namespace koravane {
namespace {

const std::string kLocal = "C:\\Users\\Иван\\AppData\\Local";
const std::string kRoot = kLocal + "\\KoraVane";

TEST(References, CommandProgramIsWhatWindowsStartsNeverAnArgument) {
  const std::set<std::string> files = {"C:\\Games\\Kora Vane\\run.exe", "C:\\Tools\\start.cmd"};
  const FileCheck names_file = [&](std::string_view path) { return files.count(std::string(path)) > 0; };
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"\"" + kRoot + "\\Update.exe\" --processStart \"KoraVane.exe\"", kRoot + "\\Update.exe"},
      {kRoot + "\\Update.exe --processStart KoraVane.exe", kRoot + "\\Update.exe"},
      {"C:\\Program Files\\Other App\\other.EXE --tray", "C:\\Program Files\\Other App\\other.EXE"},
      {"C:\\Games\\Kora Vane\\run --x", "C:\\Games\\Kora Vane\\run.exe"},
      {"C:\\Tools\\start.cmd " + kRoot + "\\Update.exe", "C:\\Tools\\start.cmd"},
      {"C:\\Games\\Kora Vane\\run", "C:\\Games\\Kora Vane\\run.exe"},
      {"C:\\Games\\Kora\tVane\\x.exe\t-y", "C:\\Games\\Kora\tVane\\x.exe"},
      {"cmd.exe /c \"" + kRoot + "\\Update.exe\"", "cmd.exe"},
      {"rundll32.exe " + kRoot + "\\app-1.5.84\\x.dll,Run", "rundll32.exe"},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane.exe"},
      {"  \"C:\\x\\a.exe\"  -q ", "C:\\x\\a.exe"},
      {"\"C:\\x\\a\" -q", "C:\\x\\a.exe"},
      {"\"C:\\x\\a.exe -q", std::nullopt},
      {"\"\" x.exe", std::nullopt},
      {"", std::nullopt},
      {" \t ", std::nullopt},
  };
  for (const auto& [command, program] : cases) EXPECT_EQ(command_program(command, names_file), program) << command;
  for (const char* name : {"KoraVane.lnk", "X.LNK", "a.Lnk", ".lnk"}) EXPECT_TRUE(is_link_file(name)) << name;
  for (const char* name : {"KoraVane.lnk.txt", "lnk", "KoraVane.url", "x.lnk "}) EXPECT_FALSE(is_link_file(name)) << name;
}

TEST(References, VariablesExpandWhereSet) {
  const std::map<std::string, std::string> set = {{"LOCALAPPDATA", kLocal}, {"EMPTY", ""}};
  const VariableLookup lookup = [&](std::string_view name) -> std::optional<std::string> {
    const auto found = set.find(std::string(name));
    if (found == set.end()) return std::nullopt;
    return found->second;
  };
  const std::pair<const char*, std::string> cases[] = {
      {"%LOCALAPPDATA%\\KoraVane\\Update.exe", kRoot + "\\Update.exe"},
      {"\"%LOCALAPPDATA%\\KoraVane\\Update.exe\" %1", "\"" + kRoot + "\\Update.exe\" %1"},
      {"%EMPTY%C:\\x", "C:\\x"},
      {"%UNSET%\\x", "%UNSET%\\x"},
      {"100% sure", "100% sure"},
      {"", ""},
  };
  for (const auto& [text, expanded] : cases) EXPECT_EQ(expand_variables(text, lookup), expanded) << text;
}

// The same targets against the areas of each mode: the whole root, or its launcher entries.
TEST(References, TargetsPointIntoWhatTheModeRemoves) {
  const std::vector<std::string> listing = {"app-1.5.84", "Update.exe", "Uninstall.exe", "KoraVane.exe",
                                            "minecraft", "packages"};
  struct Case {
    std::string target;
    bool in_full;
    bool in_launcher_only;
  };
  const Case cases[] = {
      {kRoot + "\\Update.exe", true, true},
      {kRoot + "\\app-1.5.84\\KoraVane.exe", true, true},
      {kRoot + "\\Uninstall.exe", true, true},
      {kRoot + "\\KoraVane.exe", true, false},  // a game-side copy stays with the game
      {kRoot + "\\minecraft\\saves", true, false},
      {kRoot, true, false},
      {"c:\\users\\ИВАН\\appdata\\local\\koravane\\UPDATE.EXE", true, true},
      {"\\\\?\\" + kRoot + "\\Update.exe", true, true},
      {kLocal + "\\Other\\..\\KoraVane\\.\\Update.exe", true, true},
      {kRoot + "\\..\\KoraVane2\\Update.exe", false, false},
      {kRoot + "2\\Update.exe", false, false},
      {kRoot + ".old\\app-1.5.84\\KoraVane.exe", false, false},
      {kRoot + "\\app-1.5.842\\x.exe", true, false},
      {"KoraVane\\Update.exe", false, false},
      {"Update.exe", false, false},
      {"C:Update.exe", false, false},
      {"C:\\Windows\\System32\\cmd.exe", false, false},
      {"", false, false},
  };
  // The run may have reached the root by its own name or through an 8.3 spelling of it: the items
  // of the person's that name the root by its long name point into it either way.
  for (const PathForms& root : {spelled_only(kRoot), PathForms{"C:\\Users\\8E2A~1\\AppData\\Local\\KORAVA~1", kRoot}}) {
    const auto full = removal_areas(RemovalMode::full, root, listing);
    const auto launcher = removal_areas(RemovalMode::launcher_only, root, listing);
    for (const Case& c : cases) {
      EXPECT_EQ(points_into(c.target, full), c.in_full) << c.target << " / " << root.spelled;
      EXPECT_EQ(points_into(c.target, launcher), c.in_launcher_only) << c.target << " / " << root.spelled;
    }
    EXPECT_EQ(points_into(root.spelled + "\\Update.exe", launcher), true) << root.spelled;
  }
  EXPECT_FALSE(points_into(kRoot + "\\Update.exe", {}));
}

const std::string kProfile = "C:\\Users\\Иван";
const std::string kAppdata = kProfile + "\\AppData\\Roaming";
const std::string kPrograms = kAppdata + "\\Microsoft\\Windows\\Start Menu\\Programs";

TEST(References, LinkPlacesAreEachAbsoluteFolderOnce) {
  using Places = std::vector<std::pair<std::string, LinkPlaceKind>>;
  const auto places_of = [](const ShortcutSources& sources) {
    Places out;
    for (const LinkPlace& place : link_places(sources)) out.emplace_back(place.folder, place.kind);
    return out;
  };
  const std::string cloud = "D:\\OneDrive\\Рабочий стол";
  const std::string quick = kAppdata + "\\Microsoft\\Internet Explorer\\Quick Launch";
  EXPECT_EQ(places_of({kAppdata, kProfile, "c:\\users\\иван\\appdata\\roaming\\microsoft\\windows\\start menu\\programs\\",
                       cloud}),
            (Places{{cloud, LinkPlaceKind::desktop},
                    {kProfile + "\\Desktop", LinkPlaceKind::desktop},
                    {"c:\\users\\иван\\appdata\\roaming\\microsoft\\windows\\start menu\\programs\\",
                     LinkPlaceKind::start_menu},
                    {quick, LinkPlaceKind::quick_launch}}));
  EXPECT_EQ(places_of({std::nullopt, kProfile, std::nullopt, std::nullopt}),
            (Places{{kProfile + "\\Desktop", LinkPlaceKind::desktop}}));
  // Empty variables would name folders relative to wherever the run started.
  EXPECT_EQ(places_of({"", "", std::nullopt, ""}), Places{});
}

TEST(References, OnlyTheLauncherNamedShortcutsInTheirOwnPlacesAreNamed) {
  const ShortcutSources sources{kAppdata, kProfile, "D:\\Menu", "D:\\Desk"};
  const std::pair<std::string, bool> cases[] = {
      {kPrograms + "\\KoraVane.lnk", true},
      {kPrograms + "\\koravane.LNK", true},
      {kPrograms + "\\Удалить KoraVane.lnk", true},
      {"D:\\Menu\\Uninstall KoraVane.lnk", true},
      {kProfile + "\\Desktop\\KoraVane.lnk", true},
      {"D:\\Desk\\KoraVane.lnk", true},
      {kPrograms + "\\KoraVane\\KoraVane.lnk", false},
      {kProfile + "\\Desktop\\Удалить KoraVane.lnk", false},
      {kProfile + "\\Desktop\\KoraVane (2).lnk", false},
      {kPrograms + "\\Startup\\KoraVane.lnk", false},
  };
  const std::vector<std::string> named = named_shortcuts(sources);
  for (const auto& [path, is_named] : cases) {
    EXPECT_EQ(std::find(named.begin(), named.end(), comparable_path(path)) != named.end(), is_named) << path;
  }
}

TEST(References, EmptiedStartMenuSubfoldersGoDeepestFirstNeverTheMenuOrItsStartup) {
  const std::vector<std::string> removed = {
      kPrograms + "\\KoraVane\\Tools\\a.lnk", kPrograms + "\\KoraVane\\b.lnk", kPrograms + "\\c.lnk",
      kPrograms + "\\Startup\\d.lnk",         kPrograms + "\\Startup\\Sub\\e.lnk",
      kProfile + "\\Desktop\\f.lnk"};
  EXPECT_EQ(folders_to_prune(removed, kPrograms),
            (std::vector<std::string>{kPrograms + "\\KoraVane\\Tools", kPrograms + "\\Startup\\Sub",
                                      kPrograms + "\\KoraVane"}));
  EXPECT_TRUE(folders_to_prune({kPrograms + "\\c.lnk"}, kPrograms).empty());
}

}  // namespace
}  // namespace koravane
