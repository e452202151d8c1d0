#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "removal/running_programs.h"

namespace koravane {
namespace {

const std::string kRoot = "C:\\Users\\Иван\\AppData\\Local\\KoraVane";
const std::string kOwn = kRoot + "\\Uninstall.exe";
const PathForms kRootForms = spelled_only(kRoot);

std::vector<PathForms> spelled(const std::vector<std::string>& paths) {
  std::vector<PathForms> forms;
  for (const std::string& path : paths) forms.push_back(spelled_only(path));
  return forms;
}

ProgramImage image_at(std::string path) { return {spelled_only(std::move(path)), std::nullopt}; }

bool must_close(const std::string& image, const std::vector<std::string>& areas, const std::string& own,
                const std::string& root) {
  const UninstallerCopies copies{spelled({own, root + "\\Uninstall.exe"}), {}};
  return must_close(image_at(image), spelled(areas), copies);
}

TEST(RunningPrograms, FullRemovalGuardsTheWholeRootWhateverItLists) {
  const std::vector<PathForms> expected{kRootForms};
  EXPECT_EQ(removal_areas(RemovalMode::full, kRootForms, {}), expected);
  EXPECT_EQ(removal_areas(RemovalMode::full, kRootForms, {"saves", "app-1", "Update.exe"}), expected);
}

// Launcher-only removal guards exactly the launcher entries of the listing, in listing order; game
// folders, case twins and look-alikes stay outside.
TEST(RunningPrograms, LauncherOnlyGuardsTheListedLauncherEntries) {
  const std::vector<std::string> names{"saves",   "app-1.5.84", "runtime",     "Update.exe",
                                       "UPDATES", "app-data",   "packages",    "update.exe",
                                       "mods",    "KoraVane Updater.exe"};
  const std::vector<PathForms> expected = spelled({kRoot + "\\app-1.5.84", kRoot + "\\Update.exe",
                                                   kRoot + "\\packages", kRoot + "\\KoraVane Updater.exe"});
  EXPECT_EQ(removal_areas(RemovalMode::launcher_only, kRootForms, names), expected);
  EXPECT_TRUE(removal_areas(RemovalMode::launcher_only, kRootForms, {"saves", "mods"}).empty());
  EXPECT_TRUE(removal_areas(RemovalMode::launcher_only, kRootForms, {}).empty());
  // A root found through an 8.3 name or a link: each entry in both forms.
  const PathForms linked{"K:\\KORAVA~1", kRoot};
  const std::vector<PathForms> both{{"K:\\KORAVA~1\\app-1.5.84", kRoot + "\\app-1.5.84"}};
  EXPECT_EQ(removal_areas(RemovalMode::launcher_only, linked, {"saves", "app-1.5.84"}), both);
}

TEST(RunningPrograms, OnlyProgramsInsideAnAreaMustClose) {
  const std::vector<std::string> whole{kRoot};
  const std::vector<std::string> launcher{kRoot + "\\app-2", kRoot + "\\Update.exe"};
  const std::vector<std::string> none;
  struct Case {
    std::string image;
    const std::vector<std::string>& areas;
    bool must;
  };
  const Case cases[] = {
      {kRoot + "\\runtime\\bin\\javaw.exe", whole, true},
      {"c:\\users\\иван\\appdata\\local\\koravane\\KoraVane.exe", whole, true},
      {"\\\\?\\" + kRoot + "\\Update.exe", whole, true},
      {kRoot + "2\\game.exe", whole, false},  // a look-alike sibling
      {"C:\\Users\\Иван\\AppData\\Local\\game.exe", whole, false},
      {"C:\\Windows\\System32\\notepad.exe", whole, false},
      {kRoot + "\\app-2\\KoraVane.exe", launcher, true},
      {kRoot + "\\Update.exe", launcher, true},
      {kRoot + "\\runtime\\bin\\javaw.exe", launcher, false},
      {kRoot + "\\app-20\\KoraVane.exe", launcher, false},
      {kRoot + "\\Update.exe.old", launcher, false},
      {kRoot + "\\runtime\\bin\\javaw.exe", none, false},
  };
  for (const Case& c : cases) EXPECT_EQ(must_close(c.image, c.areas, kOwn, kRoot), c.must) << c.image;
}

// A copy of the uninstaller finishes its own run: neither this executable, wherever it runs from,
// nor the root's own uninstaller is ever closed, however its path is spelled.
TEST(RunningPrograms, NoCopyOfTheUninstallerMustClose) {
  const std::vector<std::string> whole{kRoot};
  EXPECT_FALSE(must_close(kOwn, whole, kOwn, kRoot));
  EXPECT_FALSE(must_close("\\\\?\\C:\\USERS\\иван\\AppData\\Local\\KoraVane\\uninstall.exe", whole,
                          "D:\\elsewhere\\Uninstall.exe", kRoot));
  const std::string copy = kRoot + "\\app-1\\Uninstall.exe";
  EXPECT_FALSE(must_close(copy, whole, copy, kRoot));
  // Another uninstaller deeper in the root is an ordinary program there.
  EXPECT_TRUE(must_close(copy, whole, kOwn, kRoot));
}

// A program is judged by what its executable is: the root started through an 8.3 name or a link
// still covers programs started by the long name, and an uninstaller is known by its file.
TEST(RunningPrograms, ProgramsAndCopiesAreKnownByWhatTheyAre) {
  const PathForms short_root{"C:\\Users\\8E2A~1\\AppData\\Local\\KORAVA~1", kRoot};
  const std::vector<PathForms> whole{short_root};
  const FileIdentity own{7, 42, 0};
  const UninstallerCopies copies{{{short_root.spelled + "\\UNINST~1.EXE", kOwn}}, {own}};
  struct Case {
    ProgramImage image;
    bool must;
  };
  const Case cases[] = {
      {image_at(kRoot + "\\runtime\\bin\\java.exe"), true},  // the long name the game was started by
      {image_at(short_root.spelled + "\\runtime\\java.exe"), true},
      {{{"D:\\Java\\java.exe", kRoot + "\\runtime\\java.exe"}, FileIdentity{7, 9, 0}}, true},  // through a link
      {image_at(kRoot + "2\\game.exe"), false},
      {{{"D:\\Games\\KoraVane2\\game.exe", kRoot + "2\\game.exe"}, std::nullopt}, false},
      {image_at(kOwn), false},
      {{{"K:\\Ссылка\\Uninstall.exe", kOwn}, std::nullopt}, false},  // through a link, not opened
      {{{"D:\\Copy\\Uninstall.exe", "D:\\Copy\\Uninstall.exe"}, own}, false},  // a hard link to it
      {{{kRoot + "\\app-1\\Uninstall.exe", kRoot + "\\app-1\\Uninstall.exe"}, FileIdentity{7, 43, 0}}, true},
      {{{kRoot + "\\app-1\\Uninstall.exe", kRoot + "\\app-1\\Uninstall.exe"}, FileIdentity{8, 42, 0}}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(must_close(c.image, whole, copies), c.must) << c.image.path.spelled;
}

TEST(RunningPrograms, LinesNameTheProgramReadably) {
  EXPECT_EQ(closed_line(kRoot + "\\runtime\\bin\\javaw.exe"),
            "closed " + kRoot + "\\runtime\\bin\\javaw.exe");
  EXPECT_EQ(ended_line(kRoot + "\\Update.exe"), "ended " + kRoot + "\\Update.exe");
  // An unpaired surrogate in a file name is logged as U+FFFD.
  EXPECT_EQ(ended_line("C:\\a\\\xED\xA0\x80.exe"), "ended C:\\a\\\xEF\xBF\xBD.exe");
}

}  // namespace
}  // namespace koravane
