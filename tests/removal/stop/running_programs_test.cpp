#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "removal/stop/running_programs.h"

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

FileForms image_at(std::string path) { return unresolved(std::move(path)); }

UninstallerCopies copies_of(const std::string& own, const std::string& root) {
  return UninstallerCopies{spelled({own, root + "\\Uninstall.exe"}), {}};
}
const UninstallerCopies kCopies = copies_of(kOwn, kRoot);

bool must_close(const std::string& image, const std::vector<std::string>& areas, const std::string& own,
                const std::string& root) {
  return must_close(image_at(image), spelled(areas), copies_of(own, root));
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
    FileForms image;
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

TEST(RunningPrograms, LauncherImagesAreNamedAsWindowsComparesNames) {
  struct Case {
    const char* name;
    std::optional<size_t> line;
  };
  const Case cases[] = {
      {"KoraVane.exe", 0},          {"koravane.EXE", 0},         {"KoraVane Updater.exe", 1},
      {"KORAVANE-UPDATER.exe", 2},  {"KoraVane2.exe", {}},       {"KoraVane.exe.exe", {}},
      {"KoraVane", {}},             {" KoraVane.exe", {}},       {"KoraVane_Updater.exe", {}},
      {"Update.exe", {}},           {"Uninstall.exe", {}},       {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(launcher_image_index(c.name), c.line) << c.name;
}

ProcessEntry running(uint32_t id, uint32_t parent, uint64_t created, const std::string& image) {
  const size_t slash = image.rfind('\\');
  return {id, parent, created, image.substr(slash == std::string::npos ? 0 : slash + 1), unresolved(image)};
}

// A target as (id, must go, image line, tree line).
using Expected = std::tuple<uint32_t, bool, std::optional<size_t>, std::optional<size_t>>;

std::vector<Expected> targets_of(const std::vector<ProcessEntry>& processes, uint32_t own_id,
                                 const StopScope& scope) {
  std::vector<Expected> out;
  for (const StopTarget& t : stop_targets(processes, own_id, scope)) {
    out.emplace_back(processes[t.entry].id, t.must_go, t.image_line, t.tree_line);
  }
  return out;
}

// The launcher started the uninstaller and a game; beside them run the root's updater, a program
// elsewhere, a look-alike, a process whose id the launcher's dead child once had, and another
// install of the launcher with its game, none of this run's business.
const std::string kElsewhere = "C:\\Games\\Tools";
const std::string kOtherInstall = "C:\\Games\\KoraVane";
const std::vector<ProcessEntry> kRunning = {
    running(10, 1, 100, kRoot + "\\app-1.5.84\\KoraVane.exe"),  // the launcher
    running(11, 10, 101, kRoot + "\\app-1.5.84\\KoraVane.exe"),  // its renderer
    running(12, 10, 102, kOwn),                                   // the first copy of this run
    running(13, 12, 103, kOwn),                                   // this run
    running(14, 10, 104, kRoot + "\\runtime\\bin\\javaw.exe"),   // the game it started, in the root
    running(15, 10, 105, kElsewhere + "\\javaw.exe"),            // a game it started elsewhere
    running(16, 15, 106, kElsewhere + "\\crash-reporter.exe"),   // what that game started
    running(17, 10, 50, kElsewhere + "\\older.exe"),             // older than the launcher: not its child
    running(18, 1, 107, kRoot + "\\Update.exe"),                  // the root's updater
    running(19, 1, 108, kElsewhere + "\\KoraVane2.exe"),          // a look-alike name
    running(20, 1, 109, kElsewhere + "\\KoraVane Updater.exe"),   // an updater copy elsewhere
    running(21, 1, 110, kRoot + "\\minecraft\\runtime\\javaw.exe"),  // a game not started by it
    running(22, 1, 111, kOtherInstall + "\\app-1.5.84\\KoraVane.exe"),  // another install's launcher
    running(23, 22, 112, kOtherInstall + "\\runtime\\javaw.exe"),      // and the game it started
};

TEST(RunningPrograms, FullRemovalAsksTheLauncherWhatItStartedAndWhatRunsFromTheRoot) {
  const StopScope scope{RemovalMode::full, {kRootForms}, kCopies};
  const std::vector<Expected> expected = {
      {10, true, 0, {}},  {11, true, 0, {}},  {14, true, {}, 0}, {15, false, {}, 0},
      {16, false, {}, 0}, {18, true, {}, {}}, {21, true, {}, {}},
  };
  EXPECT_EQ(targets_of(kRunning, 13, scope), expected);
}

// Launcher-only removal keeps the game the launcher started: its lines end the launcher's images
// alone, and only what runs from a launcher entry must go.
TEST(RunningPrograms, LauncherOnlyRemovalLeavesWhatTheLauncherStarted) {
  const StopScope scope{RemovalMode::launcher_only,
                        removal_areas(RemovalMode::launcher_only, kRootForms,
                                      {"app-1.5.84", "runtime", "minecraft", "Update.exe", "Uninstall.exe"}),
                        kCopies};
  const std::vector<Expected> expected = {
      {10, true, 0, {}}, {11, true, 0, {}}, {18, true, {}, {}},
  };
  EXPECT_EQ(targets_of(kRunning, 13, scope), expected);
}

TEST(RunningPrograms, NothingIsATargetWhenNeitherTheLauncherNorAnythingFromTheRootRuns) {
  const std::vector<ProcessEntry> others = {running(5, 1, 1, kElsewhere + "\\KoraVane2.exe"),
                                            running(6, 5, 2, kElsewhere + "\\game.exe"),
                                            running(7, 1, 3, kOwn)};
  EXPECT_TRUE(stop_targets(others, 7, {RemovalMode::full, {kRootForms}, kCopies}).empty());
  // A launcher process that could not be inspected is still one by its name: its line runs.
  const std::vector<ProcessEntry> unknown = {{8, 1, 0, "KoraVane.exe", std::nullopt}};
  const std::vector<Expected> expected = {{8, false, 0, {}}};
  EXPECT_EQ(targets_of(unknown, 7, {RemovalMode::full, {kRootForms}, kCopies}), expected);
}

// A run descends from a process that some stop step could end: it then continues elsewhere.
TEST(RunningPrograms, WhatAStopStepCouldEndIsTheLaunchersImagesAndWhatRunsFromTheRoot) {
  struct Case {
    ProcessEntry process;
    bool stoppable;
  };
  const Case cases[] = {
      {running(1, 0, 1, kRoot + "\\app-1\\koravane.exe"), true},
      {running(1, 0, 1, kOtherInstall + "\\app-1\\KoraVane.exe"), false},  // another install's
      {running(1, 0, 1, kRoot + "\\app-1\\squirrel.exe"), true},
      {running(1, 0, 1, kRoot + "\\minecraft\\runtime\\javaw.exe"), true},
      {running(1, 0, 1, kRoot + "2\\game.exe"), false},
      {running(1, 0, 1, kElsewhere + "\\explorer.exe"), false},
      {running(1, 0, 1, kRoot + "\\Uninstall.exe"), false},  // a copy of this uninstaller
      {{1, 0, 1, "KoraVane Updater.exe", std::nullopt}, true},
      {{1, 0, 1, "javaw.exe", std::nullopt}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(may_be_stopped(c.process, kRootForms, kCopies), c.stoppable) << c.process.name;
}

// A task-kill line ends by name: it runs only while no process of its image belongs to another
// install, judged by what the chosen removal takes (lines 0 to 2: the launcher's images in order).
TEST(RunningPrograms, ALineRunsOnlyWhileEveryProcessOfItsImageIsThisInstalls) {
  const StopScope full{RemovalMode::full, {kRootForms}, kCopies};
  const StopScope launcher_only{RemovalMode::launcher_only,
                                removal_areas(RemovalMode::launcher_only, kRootForms, {"app-1.5.84", "KoraVane.exe"}),
                                kCopies};
  struct Case {
    const char* what;
    std::vector<ProcessEntry> processes;
    const StopScope& scope;
    std::vector<bool> may_run;
  };
  const ProcessEntry own = running(10, 1, 100, kRoot + "\\app-1.5.84\\KoraVane.exe");
  const ProcessEntry other = running(22, 1, 111, kOtherInstall + "\\app-1.5.84\\KoraVane.exe");
  const ProcessEntry other_updater = running(24, 1, 113, kOtherInstall + "\\KoraVane-Updater.exe");
  const ProcessEntry unreadable{25, 1, 0, "KoraVane Updater.exe", std::nullopt};
  const ProcessEntry top_level = running(26, 1, 114, kRoot + "\\KoraVane.exe");  // not a launcher entry
  const ProcessEntry look_alike = running(27, 1, 115, kOtherInstall + "\\KoraVane2.exe");
  const Case cases[] = {
      {"nothing else runs", {own}, full, {true, true, true}},
      {"another install's launcher", {own, other}, full, {false, true, true}},
      {"another install's launcher alone", {other}, launcher_only, {false, true, true}},
      {"another install's updater", {own, other_updater}, full, {true, true, false}},
      {"an image that cannot be read counts as this install's", {unreadable, own}, full, {true, true, true}},
      {"a look-alike name", {own, look_alike}, full, {true, true, true}},
      {"the root's own copy, in full removal", {own, top_level}, full, {true, true, true}},
      {"the root's own copy, kept by launcher-only removal", {own, top_level}, launcher_only, {false, true, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(lines_that_may_run(c.processes, c.scope), c.may_run) << c.what;
}

// One line per program asked or ended by the step; none for what a task-kill line ended unasked.
TEST(RunningPrograms, AGoneProgramIsLoggedByWhatHappenedToIt) {
  struct Case {
    bool asked, gone_before_lines, reached, must_go;
    std::optional<std::string> line;
  };
  const std::string image = kRoot + "\\runtime\\bin\\javaw.exe";
  const Case cases[] = {
      {true, false, true, false, "ended " + image},   // refused, then the tree kill took it
      {true, false, false, true, "closed " + image},  // closed a moment after the lines
      {true, true, false, false, "closed " + image},  // closed when asked
      {false, false, true, true, std::nullopt},       // the task-kill line ended it unasked
      {false, true, false, true, "closed " + image},  // went from the root by itself
      {false, false, false, false, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gone_line(image, c.asked, c.gone_before_lines, c.reached, c.must_go), c.line)
        << c.asked << c.gone_before_lines << c.reached << c.must_go;
  }
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
