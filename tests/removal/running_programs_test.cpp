#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "removal/running_programs.h"

namespace koravane {
namespace {

const std::string kRoot = "C:\\Users\\Иван\\AppData\\Local\\KoraVane";
const std::string kOwn = kRoot + "\\Uninstall.exe";

TEST(RunningPrograms, FullRemovalGuardsTheWholeRootWhateverItLists) {
  const std::vector<std::string> expected{kRoot};
  EXPECT_EQ(removal_areas(RemovalMode::full, kRoot, {}), expected);
  EXPECT_EQ(removal_areas(RemovalMode::full, kRoot, {"saves", "app-1", "Update.exe"}), expected);
}

// Launcher-only removal guards exactly the launcher entries of the listing, in listing order; game
// folders, case twins and look-alikes stay outside.
TEST(RunningPrograms, LauncherOnlyGuardsTheListedLauncherEntries) {
  const std::vector<std::string> names{"saves",   "app-1.5.84", "runtime",     "Update.exe",
                                       "UPDATES", "app-data",   "packages",    "update.exe",
                                       "mods",    "KoraVane Updater.exe"};
  const std::vector<std::string> expected{kRoot + "\\app-1.5.84", kRoot + "\\Update.exe",
                                          kRoot + "\\packages", kRoot + "\\KoraVane Updater.exe"};
  EXPECT_EQ(removal_areas(RemovalMode::launcher_only, kRoot, names), expected);
  EXPECT_TRUE(removal_areas(RemovalMode::launcher_only, kRoot, {"saves", "mods"}).empty());
  EXPECT_TRUE(removal_areas(RemovalMode::launcher_only, kRoot, {}).empty());
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

TEST(RunningPrograms, LinesNameTheProgramReadably) {
  EXPECT_EQ(closed_line(kRoot + "\\runtime\\bin\\javaw.exe"),
            "closed " + kRoot + "\\runtime\\bin\\javaw.exe");
  EXPECT_EQ(ended_line(kRoot + "\\Update.exe"), "ended " + kRoot + "\\Update.exe");
  // An unpaired surrogate in a file name is logged as U+FFFD.
  EXPECT_EQ(ended_line("C:\\a\\\xED\xA0\x80.exe"), "ended C:\\a\\\xEF\xBF\xBD.exe");
}

}  // namespace
}  // namespace koravane
