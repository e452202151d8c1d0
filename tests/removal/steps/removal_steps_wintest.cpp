// Launcher-only removal, full removal (with the clearing beside a running executable) and
// shortcut/registration removal on real folders under Wine. The steps return what is left for the
// deferred script; they start nothing themselves, which a job counting every process this test
// starts shows. A recording cmd.exe lies next to this test program all the same, so that a
// script started by mistake would be recorded rather than run.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "platform/basics/handles_win.h"
#include "removal/steps/layout.h"
#include "removal/steps/root_clearing.h"
#include "platform/context/run_log.h"
#include "removal/steps/registration.h"
#include "removal/steps/removal_steps.h"
#include "removal/tree/tree_removal_system_win.h"
#include "support/run_context_win.h"
#include "support/running_copy_win.h"
#include "support/shell_link_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::fresh_folder;
using test::lines_of;
using test::make_folder;
using test::path_exists;
using test::read_file;
using test::write_file;

std::vector<std::string> listing(const std::string& folder) { return test::folder_listing(folder); }

// Full removal of root while this program runs from executable (inside it).
RootRemoval remove_beside(const std::string& root, const std::string& executable) {
  Win32RemovalSystem system;
  const RootRemovalRequest request{root, root, entry_holding(root, executable)};
  return remove_install_root(system, process_no_reparse_flag(), request);
}

std::vector<std::string> paths_of(const StayedEntries& stayed) {
  std::vector<std::string> paths;
  for (const StayedEntry& entry : stayed) paths.push_back(entry.path);
  return paths;
}

std::vector<std::string> sorted_listing(const std::string& folder) {
  std::vector<std::string> names = listing(folder);
  std::sort(names.begin(), names.end());
  return names;
}

// The number of processes started so far by this test program, itself included: it joins a job
// once, and every process it starts from then on joins it as it is created, so a count taken
// right after a step is complete whether or not the child has run yet.
DWORD processes_started() {
  static const UniqueHandle job = [] {
    UniqueHandle created(CreateJobObjectW(nullptr, nullptr));
    if (!created || !AssignProcessToJobObject(created.get(), GetCurrentProcess())) created.reset();
    return created;
  }();
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
  if (!job || !QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &info,
                                         sizeof info, nullptr)) {
    return 0;  // no count: every check built on it fails
  }
  return info.TotalProcesses;
}

class RemovalSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    record_file_ = join_path(fresh_folder("record"), "cmd.txt");
    test::set_env("KORAVANE_RECORD_FILE", record_file_);
    started_before_ = processes_started();
    ASSERT_GE(started_before_, 1u) << "no job counts this test's processes";
  }
  std::string log_of(const std::string& root) {
    return read_file(join_path(join_path(root, "updates"), "rust-updater.log")).value_or("");
  }
  // Whether the step started a process, such as an interpreter for a script.
  bool started_a_process() const { return processes_started() != started_before_; }
  std::string record_file_;
  DWORD started_before_ = 0;
};

// Every launcher entry kind beside game files; names map to the content written into them.
std::map<std::string, std::string> lay_full_root(const std::string& root) {
  for (const char* folder : {"app-1.5.84", "app-2", "app-0beta", "app-current", "app.next", "app",
                             "packages", "updates"}) {
    make_folder(join_path(root, folder));
    write_file(join_path(join_path(root, folder), "inner.bin"), folder);
  }
  write_file(join_path(root, "updates\\rust-updater.log"), "earlier run\n");
  for (const char* file : {"current.json", "version.json", "icon.ico", "bootstrap-config.json",
                           "app-install.json", "update-stub.meta.json", "KoraVane Updater.exe",
                           "KoraVane-Updater.exe", "Update.exe", "Uninstall.exe"}) {
    write_file(join_path(root, file), file);
  }
  std::map<std::string, std::string> game = {
      {"KoraVane.exe", "launcher copy"},  {"options.txt", "fov:90"},
      {"game\\saves\\world.dat", "world"}, {"game\\mods\\mod.jar", "mod"},
      {"game\\readonly.txt", "ro"},         {"app-data\\x", "data"},
      {"app-x1\\y", "x1"},                  {"app-\\z", "bare prefix"}};
  for (const char* folder : {"game", "game\\saves", "game\\mods", "app-data", "app-x1", "app-"}) {
    make_folder(join_path(root, folder));
  }
  for (const auto& [name, bytes] : game) write_file(join_path(root, name), bytes);
  SetFileAttributesW(to_wide(join_path(root, "game\\readonly.txt")).c_str(),
                     FILE_ATTRIBUTE_READONLY);
  return game;
}

TEST_F(RemovalSteps, LauncherOnlyTakesExactlyTheLauncherEntries) {
  const std::string root = fresh_folder("root");
  const auto game = lay_full_root(root);
  const auto order = listing(root);

  RemovalProgress progress;
  const RemovalOutcome outcome = run_launcher_only_removal(test::context_for(root), &progress);

  // 16 launcher entries go here (the two executables wait for the script), holding 17 files:
  // eight folders with one file each, the old run log, and eight files.
  EXPECT_EQ(progress.entries_total.load(), 16u);
  EXPECT_EQ(progress.entries_done.load(), 16u);
  EXPECT_EQ(progress.files_removed.load(), 17u);

  for (const auto& [name, bytes] : game) EXPECT_EQ(read_file(join_path(root, name)), bytes) << name;
  std::vector<std::string> later_lines;  // lines of the entries listed after "updates"
  std::vector<std::string> deferred;
  bool after_updates = false;
  for (const std::string& name : order) {
    if (!is_launcher_entry(name)) continue;
    if (is_deferred_entry(name)) {
      deferred.push_back(name);
      EXPECT_TRUE(path_exists(join_path(root, name))) << name;
      continue;
    }
    if (name != "updates") {
      EXPECT_FALSE(path_exists(join_path(root, name))) << name;
    }
    if (after_updates) later_lines.push_back("removed " + name);
    after_updates = after_updates || name == "updates";
  }
  ASSERT_EQ(deferred.size(), 2u);
  EXPECT_EQ(outcome.deferred_paths,
            (std::vector<std::string>{join_path(root, deferred[0]), join_path(root, deferred[1])}));
  EXPECT_TRUE(outcome.complete);
  EXPECT_FALSE(started_a_process());
  // Removing "updates" takes the earlier lines with it; the next line starts a fresh log, which
  // the pass leaves alone: the root was listed before anything went.
  auto log = lines_of(log_of(root));
  ASSERT_GE(log.size(), 1u);
  EXPECT_EQ(log.front(), "removed updates");
  EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.end()), later_lines);
  EXPECT_EQ(read_file(join_path(root, "updates\\inner.bin")), std::nullopt);
}

TEST_F(RemovalSteps, LauncherOnlyComparesNamesWithCaseAndRemovesByKindOnDisk) {
  const std::string twins = fresh_folder("twins");
  for (const char* folder : {"Packages", "UPDATES"}) make_folder(join_path(twins, folder));
  for (const char* file : {"update.exe", "uninstall.exe"}) write_file(join_path(twins, file), file);
  EXPECT_TRUE(run_launcher_only_removal(test::context_for(twins)).deferred_paths.empty());
  EXPECT_EQ(listing(twins).size(), 4u);
  EXPECT_EQ(log_of(twins), "");

  const std::string kinds = fresh_folder("kinds");
  write_file(join_path(kinds, "packages"), "a plain file");
  make_folder(join_path(kinds, "current.json"));
  write_file(join_path(kinds, "current.json\\inside"), "x");
  EXPECT_TRUE(run_launcher_only_removal(test::context_for(kinds)).deferred_paths.empty());
  EXPECT_FALSE(path_exists(join_path(kinds, "packages")));
  EXPECT_FALSE(path_exists(join_path(kinds, "current.json")));
  // Each line comes from an entry that went; the first line creates "updates", which the same
  // pass may list and remove too.
  for (const auto& line : lines_of(log_of(kinds))) {
    EXPECT_TRUE(line == "removed current.json" || line == "removed packages" ||
                line == "removed updates")
        << line;
  }
}

TEST_F(RemovalSteps, LauncherOnlyLogsALockedEntryAndGoesOn) {
  const std::string root = fresh_folder("locked");
  write_file(join_path(root, "version.json"), "v");
  write_file(join_path(root, "icon.ico"), "i");
  make_folder(join_path(root, "updates"));
  write_file(join_path(root, "updates\\rust-updater.log"), "");
  // Both held open without delete sharing; the log can still be appended to, so it keeps
  // every line of the pass.
  UniqueHandle lock(CreateFileW(to_wide(join_path(root, "version.json")).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  UniqueHandle log_lock(CreateFileW(to_wide(join_path(root, "updates\\rust-updater.log")).c_str(),
                                    GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock && log_lock);
  RemovalProgress progress;
  const RemovalOutcome outcome = run_launcher_only_removal(test::context_for(root), &progress);
  // The held file may be tried again by the script; the run log's folder is never handed over.
  EXPECT_EQ(outcome.deferred_paths, std::vector<std::string>{join_path(root, "version.json")});
  EXPECT_FALSE(outcome.complete) << "a launcher entry stayed";
  EXPECT_TRUE(outcome.way_back_kept);
  // Entries that stayed are handled all the same; only the file that went counts as removed.
  EXPECT_EQ(progress.entries_total.load(), 3u);
  EXPECT_EQ(progress.entries_done.load(), 3u);
  EXPECT_EQ(progress.files_removed.load(), 1u);
  lock.reset();
  auto log = lines_of(log_of(root));
  log_lock.reset();
  std::sort(log.begin(), log.end());
  const std::string sharing = os_error_text(ERROR_SHARING_VIOLATION);
  // A file entry is named as the entry; in a folder entry, what stayed in it, below the root.
  EXPECT_EQ(log, (std::vector<std::string>{"fail updates\\rust-updater.log: " + sharing,
                                           "fail version.json: " + sharing, "removed icon.ico"}));
  EXPECT_TRUE(sharing.ends_with(" (os error 32)"));
  EXPECT_TRUE(path_exists(join_path(root, "version.json")));
  EXPECT_FALSE(path_exists(join_path(root, "icon.ico")));
}

TEST_F(RemovalSteps, LauncherOnlyOnAnUnlistableRootLogsReaddir) {
  const std::string root = join_path(fresh_folder("gone"), "missing-root");
  const RemovalOutcome outcome = run_launcher_only_removal(test::context_for(root));
  EXPECT_TRUE(outcome.deferred_paths.empty());
  EXPECT_FALSE(outcome.complete) << "nothing could be looked at, let alone removed";
  EXPECT_TRUE(outcome.way_back_kept);
  const auto log = lines_of(log_of(root));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("readdir: ", 0), 0u);
  EXPECT_TRUE(log[0].ends_with(" (os error 3)") || log[0].ends_with(" (os error 2)")) << log[0];
}

TEST_F(RemovalSteps, FullRemovalTakesTheSettingsAndTheWholeRoot) {
  const std::string appdata = fresh_folder("appdata");
  make_folder(join_path(appdata, "koravane-launcher"));
  write_file(join_path(appdata, "koravane-launcher\\login.json"), "token");
  write_file(join_path(appdata, "other.txt"), "stays");
  test::set_env("APPDATA", appdata);
  const std::string root = fresh_folder("full");
  lay_full_root(root);
  SetFileAttributesW(to_wide(join_path(root, "icon.ico")).c_str(), FILE_ATTRIBUTE_READONLY);

  RemovalProgress progress;
  const RemovalOutcome outcome = run_full_removal(test::context_for(root), &progress);
  EXPECT_TRUE(outcome.deferred_paths.empty());
  EXPECT_TRUE(outcome.complete);
  // The login file and the root's 27 files; full removal knows no total of entries.
  EXPECT_EQ(progress.files_removed.load(), 28u);
  EXPECT_EQ(progress.entries_total.load(), 0u);

  EXPECT_FALSE(path_exists(root));
  EXPECT_FALSE(path_exists(join_path(appdata, "koravane-launcher")));
  EXPECT_EQ(read_file(join_path(appdata, "other.txt")), "stays");
  EXPECT_FALSE(path_exists(join_path(root, "updates")));  // no line after the root went
}

// Removing the root from outside leaves nothing by design: whatever stays is said. The run log
// itself held stays for the script, which takes the root.
TEST_F(RemovalSteps, FullRemovalNamesAStubbornRunLogAndHandsTheRootToTheScript) {
  const std::string appdata = join_path(fresh_folder("appdata"), "Роуминг");
  test::set_env("APPDATA", appdata);  // the settings folder never existed
  const std::string root = fresh_folder("stubborn");
  make_folder(join_path(root, "updates"));
  const std::string log_path = join_path(root, "updates\\rust-updater.log");
  write_file(log_path, "");
  // Held open without delete sharing: the tree removal cannot finish, appending still works.
  UniqueHandle lock(CreateFileW(to_wide(log_path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  ASSERT_TRUE(lock);
  const RemovalOutcome outcome = run_full_removal(test::context_for(root));
  const auto log = lines_of(log_of(root));
  lock.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"settings removed: " + join_path(appdata, "koravane-launcher"),
                                           fail_line(log_path, ERROR_SHARING_VIOLATION)}));
  EXPECT_EQ(outcome.deferred_paths, std::vector<std::string>{root});
  EXPECT_FALSE(outcome.complete);
  EXPECT_FALSE(outcome.way_back_kept) << "nothing of the launcher's is left to start again";
  EXPECT_FALSE(started_a_process());
}

// Run from inside the root, the full removal clears what lies beside the executable and hands the
// root itself to the script; when anything else stays, it is named, the script may only try it
// again, and the uninstaller and its run log stay for a second run.
TEST_F(RemovalSteps, FullRemovalFromInsideTheRootHandsTheRootToTheScriptAndSaysWhatStayed) {
  test::set_env("APPDATA", std::nullopt);
  const std::string root = fresh_folder("inside");
  lay_full_root(root);
  const std::string executable = join_path(root, "Uninstall.exe");

  const RemovalOutcome cleared = run_full_removal(test::context_for(root, executable));
  EXPECT_EQ(cleared.deferred_paths, std::vector<std::string>{root});
  EXPECT_TRUE(cleared.complete);
  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "updates"}));
  EXPECT_EQ(lines_of(log_of(root)), std::vector<std::string>{"earlier run"});

  write_file(join_path(root, "options.txt"), "fov:90");
  UniqueHandle lock(CreateFileW(to_wide(join_path(root, "options.txt")).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  const RemovalOutcome held = run_full_removal(test::context_for(root, executable));
  lock.reset();
  EXPECT_EQ(held.deferred_paths, std::vector<std::string>{join_path(root, "options.txt")});
  EXPECT_FALSE(held.complete);
  EXPECT_TRUE(held.way_back_kept);
  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "options.txt", "updates"}));
  EXPECT_EQ(lines_of(log_of(root)),
            (std::vector<std::string>{"earlier run",
                                      fail_line(join_path(root, "options.txt"), ERROR_SHARING_VIOLATION)}));
  EXPECT_FALSE(started_a_process());
}

TEST_F(RemovalSteps, SettingsThatStayAreLoggedAsAFailureAndTheRootStillGoes) {
  const std::string appdata = fresh_folder("appdata");
  const std::string settings = join_path(appdata, "koravane-launcher");
  make_folder(settings);
  write_file(join_path(settings, "login.json"), "token");
  test::set_env("APPDATA", appdata);
  const std::string root = fresh_folder("settings-held");
  write_file(join_path(root, "current.json"), "{}");
  make_folder(join_path(root, "updates"));
  const std::string log_path = join_path(root, "updates\\rust-updater.log");
  write_file(log_path, "");
  // The launcher's login file held open without delete sharing, the log held the same way so
  // that it survives the root's removal attempts and can be read.
  UniqueHandle held(CreateFileW(to_wide(join_path(settings, "login.json")).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  UniqueHandle log_lock(CreateFileW(to_wide(log_path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
  ASSERT_TRUE(held && log_lock);
  const RemovalOutcome outcome = run_full_removal(test::context_for(root));
  const auto log = lines_of(log_of(root));
  held.reset();
  log_lock.reset();
  const std::string sharing = os_error_text(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(log, (std::vector<std::string>{fail_line(join_path(settings, "login.json"), ERROR_SHARING_VIOLATION),
                                           fail_line(log_path, ERROR_SHARING_VIOLATION)}));
  EXPECT_TRUE(path_exists(join_path(settings, "login.json")));
  EXPECT_EQ(outcome.deferred_paths, std::vector<std::string>{root});
  EXPECT_FALSE(path_exists(join_path(root, "current.json"))) << "the root's removal went on";
}

TEST_F(RemovalSteps, FullRemovalWithoutAppdataLeavesSettingsAlone) {
  const std::string home = fresh_folder("home");
  make_folder(join_path(home, "koravane-launcher"));
  SetCurrentDirectoryW(to_wide(home).c_str());
  test::set_env("APPDATA", std::nullopt);
  const std::string root = fresh_folder("noappdata");
  write_file(join_path(root, "current.json"), "{}");
  EXPECT_TRUE(run_full_removal(test::context_for(root)).deferred_paths.empty());
  EXPECT_FALSE(path_exists(root));
  EXPECT_TRUE(path_exists(join_path(home, "koravane-launcher")));
}

TEST_F(RemovalSteps, ClearingBesideTheExecutableLeavesOnlyTheExecutable) {
  const std::string root = fresh_folder("beside");
  lay_full_root(root);  // a read-only file among them
  // Spelled differently from the listing: the comparison ignores case and separator style.
  std::string executable = join_path(root, "UNINSTALL.EXE");
  std::replace(executable.begin(), executable.end(), '\\', '/');

  const RootRemoval cleared = remove_beside(root, executable);
  EXPECT_TRUE(cleared.stayed.empty()) << "nothing stayed but what stays by design";
  EXPECT_EQ(cleared.deferred, std::vector<std::string>{root});
  EXPECT_FALSE(cleared.way_back_kept);

  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "updates"}));
  EXPECT_EQ(read_file(join_path(root, "Uninstall.exe")), "Uninstall.exe");
  // The run log stays for the script, with its lines; the rest of its folder goes.
  EXPECT_EQ(listing(join_path(root, "updates")), std::vector<std::string>{"rust-updater.log"});
  EXPECT_EQ(read_file(join_path(root, "updates\\rust-updater.log")), "earlier run\n");
}

TEST_F(RemovalSteps, ClearingNamesWhatStayedAndKeepsTheWayBack) {
  const std::string root = fresh_folder("beside-held");
  lay_full_root(root);
  const std::string held = join_path(root, "game\\saves\\world.dat");
  UniqueHandle lock(CreateFileW(to_wide(held).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  const RootRemoval cleared = remove_beside(root, join_path(root, "Uninstall.exe"));
  lock.reset();
  EXPECT_EQ(paths_of(cleared.stayed), std::vector<std::string>{held});
  EXPECT_EQ(cleared.stayed.at(0).error, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(cleared.way_back_kept);
  EXPECT_EQ(cleared.deferred, std::vector<std::string>{join_path(root, "game")});
  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "game", "updates"}));
  EXPECT_EQ(test::folder_listing(join_path(root, "game")), std::vector<std::string>{"saves"});
  EXPECT_TRUE(path_exists(held));
}

// Two entries stay for different reasons, a file held open and a program running from the root:
// each is named with its own error, in the order the root lists them.
TEST_F(RemovalSteps, ClearingNamesEveryEntryThatStayedWithItsOwnError) {
  const std::string root = fresh_folder("beside-two");
  write_file(join_path(root, "Uninstall.exe"), "exe");
  write_file(join_path(root, "held.txt"), "held");
  write_file(join_path(root, "other.txt"), "goes");
  UniqueHandle lock(CreateFileW(to_wide(join_path(root, "held.txt")).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  const test::IdleCopy game(test::built_program(KORAVANE_IDLE), join_path(root, "game.exe"));
  ASSERT_TRUE(lock && game.ready());
  std::vector<std::string> expected;
  for (const std::string& name : listing(root)) {
    if (name == "held.txt" || name == "game.exe") expected.push_back(join_path(root, name));
  }

  const RootRemoval cleared = remove_beside(root, join_path(root, "Uninstall.exe"));
  lock.reset();
  EXPECT_EQ(paths_of(cleared.stayed), expected);
  for (const StayedEntry& entry : cleared.stayed) {
    // A held file cannot be shared for deletion; a running program's image cannot be deleted.
    EXPECT_EQ(entry.error, entry.path.ends_with("held.txt") ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "game.exe", "held.txt"}));
}

TEST_F(RemovalSteps, ClearingTakesAPlainFileNamedLikeTheLogFolder) {
  const std::string root = fresh_folder("updates-file");
  write_file(join_path(root, "Uninstall.exe"), "exe");
  write_file(join_path(root, "updates"), "not a folder");
  EXPECT_TRUE(remove_beside(root, join_path(root, "Uninstall.exe")).stayed.empty());
  EXPECT_EQ(listing(root), std::vector<std::string>{"Uninstall.exe"});
}

TEST_F(RemovalSteps, ClearingKeepsTheWholeTopLevelFolderHoldingTheExecutable) {
  const std::string root = fresh_folder("deeper");
  lay_full_root(root);
  make_folder(join_path(root, "tools"));
  make_folder(join_path(root, "tools\\bin"));
  write_file(join_path(root, "tools\\bin\\Uninstall.exe"), "exe");
  write_file(join_path(root, "tools\\notes.txt"), "kept with it");

  EXPECT_TRUE(remove_beside(root, join_path(root, "tools\\bin\\Uninstall.exe")).stayed.empty());

  EXPECT_EQ(sorted_listing(root), (std::vector<std::string>{"Uninstall.exe", "tools", "updates"}));
  EXPECT_EQ(read_file(join_path(root, "tools\\notes.txt")), "kept with it");
}

class Shortcuts : public ::testing::Test {
 protected:
  // Nothing else points into a fresh root, so the step finds nothing more to say.
  static void remove_named() {
    const std::string root = fresh_folder("root");
    EXPECT_TRUE(remove_shortcuts(test::context_for(root), RemovalMode::full));
    EXPECT_TRUE(remove_uninstall_registration().ok()) << "a missing key counts as removed";
    EXPECT_FALSE(path_exists(join_path(root, "updates"))) << "a line in the run log";
  }
  static constexpr const wchar_t* kKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KoraVane";
  static bool key_exists(HKEY root) {
    HKEY key = nullptr;
    const bool opened = RegOpenKeyExW(root, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    const UniqueRegKey owned(opened ? key : nullptr);
    return opened;
  }
  static void create_key(HKEY root, bool with_subkey) {
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    const UniqueRegKey key(created);
    const wchar_t value[] = L"KoraVane";
    RegSetValueExW(key.get(), L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   sizeof value);
    if (with_subkey) {
      HKEY sub = nullptr;
      if (RegCreateKeyExW(key.get(), L"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) ==
          ERROR_SUCCESS) {
        const UniqueRegKey child(sub);
      }
    }
  }
};

TEST_F(Shortcuts, ExistingShortcutsAndTheUserKeyGoOthersStay) {
  const std::string appdata = fresh_folder("appdata");
  const std::string profile = fresh_folder("profile");
  const std::string programs = start_menu_folder(appdata);
  for (const char* part : {"Microsoft", "Microsoft\\Windows", "Microsoft\\Windows\\Start Menu",
                           "Microsoft\\Windows\\Start Menu\\Programs"}) {
    make_folder(join_path(appdata, part));
  }
  write_file(join_path(programs, "Удалить KoraVane.lnk"), "l");
  write_file(join_path(programs, "KoraVane.lnk"), "l");
  write_file(join_path(programs, "Other.lnk"), "l");
  make_folder(join_path(profile, "Desktop"));
  write_file(join_path(profile, "Desktop\\KoraVane.lnk"), "l");
  write_file(join_path(profile, "Desktop\\Удалить KoraVane.lnk"), "l");
  SetFileAttributesW(to_wide(join_path(profile, "Desktop\\KoraVane.lnk")).c_str(),
                     FILE_ATTRIBUTE_READONLY);
  test::set_env("APPDATA", appdata);
  test::set_env("USERPROFILE", profile);
  create_key(HKEY_CURRENT_USER, false);
  create_key(HKEY_LOCAL_MACHINE, false);

  remove_named();

  EXPECT_EQ(listing(programs), std::vector<std::string>{"Other.lnk"});
  EXPECT_EQ(listing(join_path(profile, "Desktop")),
            std::vector<std::string>{"Удалить KoraVane.lnk"});
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
  EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE));
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
}

TEST_F(Shortcuts, WithoutAppdataTheDesktopShortcutAndTheKeyStillGo) {
  const std::string profile = fresh_folder("profile");
  make_folder(join_path(profile, "Desktop"));
  write_file(join_path(profile, "Desktop\\KoraVane.lnk"), "l");
  write_file(join_path(profile, "Desktop\\Other.lnk"), "l");
  test::set_env("APPDATA", std::nullopt);
  test::set_env("USERPROFILE", profile);
  create_key(HKEY_CURRENT_USER, false);
  remove_named();
  EXPECT_EQ(listing(join_path(profile, "Desktop")), std::vector<std::string>{"Other.lnk"});
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
}

// Points a shell folder of this user somewhere else in both registry keys, as a profile with a
// moved Desktop or Start menu has it, and puts it back afterwards.
class MovedShellFolder {
 public:
  MovedShellFolder(const wchar_t* value, const std::string& folder) : value_(value) {
    for (const Key& key : keys_) {
      saved_.push_back(read(key.path, key.type));
      write(key.path, key.type, to_wide(folder));
    }
  }
  ~MovedShellFolder() {
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (saved_[i]) write(keys_[i].path, keys_[i].type, *saved_[i]);
    }
  }

 private:
  struct Key {
    const wchar_t* path;
    DWORD type;
  };
  std::optional<std::wstring> read(const wchar_t* path, DWORD type) const {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, path, value_, RRF_RT_ANY | RRF_NOEXPAND, &type, buffer,
                     &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::wstring(buffer);
  }
  void write(const wchar_t* path, DWORD type, const std::wstring& data) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, path, value_, type, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  const wchar_t* value_;
  std::vector<Key> keys_ = {
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", REG_EXPAND_SZ},
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", REG_SZ}};
  std::vector<std::optional<std::wstring>> saved_;
};

TEST_F(Shortcuts, ShortcutsInAMovedDesktopAndStartMenuGoOthersStay) {
  const std::string appdata = fresh_folder("appdata");
  const std::string profile = fresh_folder("profile");
  make_folder(join_path(profile, "Desktop"));
  write_file(join_path(profile, "Desktop\\KoraVane.lnk"), "l");
  const std::string cloud = join_path(fresh_folder("OneDrive"), "Рабочий стол");
  const std::string menu = join_path(fresh_folder("Menu"), "Программы");
  make_folder(cloud);
  make_folder(menu);
  for (const char* name : {"KoraVane.lnk", "Удалить KoraVane.lnk", "Other.lnk", "KoraVane (2).lnk"}) {
    write_file(join_path(cloud, name), "l");
  }
  for (const char* name : {"KoraVane.lnk", "Uninstall KoraVane.lnk", "Удалить KoraVane.lnk",
                           "Other.lnk", "KoraVane Launcher.lnk"}) {
    write_file(join_path(menu, name), "l");
  }
  test::set_env("APPDATA", appdata);
  test::set_env("USERPROFILE", profile);
  {
    const MovedShellFolder desktop(L"Desktop", cloud);
    const MovedShellFolder programs(L"Programs", menu);
    remove_named();
  }
  EXPECT_FALSE(path_exists(join_path(profile, "Desktop\\KoraVane.lnk"))) << "the usual place too";
  std::vector<std::string> desktop_left = listing(cloud);
  std::vector<std::string> menu_left = listing(menu);
  std::sort(desktop_left.begin(), desktop_left.end());
  std::sort(menu_left.begin(), menu_left.end());
  EXPECT_EQ(desktop_left, (std::vector<std::string>{"KoraVane (2).lnk", "Other.lnk", "Удалить KoraVane.lnk"}));
  EXPECT_EQ(menu_left, (std::vector<std::string>{"KoraVane Launcher.lnk", "Other.lnk"}));
}

// A shortcut into the root that another program holds open stays, says why, and makes the step
// report that something stayed; one beside it goes with its line.
TEST_F(Shortcuts, AShortcutIntoTheRootThatCannotGoIsLoggedAndReported) {
  const std::string root = fresh_folder("root");
  write_file(join_path(root, "Update.exe"), "x");
  const std::string desktop = join_path(fresh_folder("profile"), "Desktop");
  make_folder(desktop);
  const std::string held = join_path(desktop, "KoraVane (2).lnk");
  const std::string gone = join_path(desktop, "Удалить KoraVane.lnk");
  for (const std::string& link : {held, gone}) {
    ASSERT_TRUE(test::make_shell_link(to_wide(link), to_wide(join_path(root, "Update.exe"))));
  }
  test::set_env("APPDATA", std::nullopt);
  test::set_env("USERPROFILE", *parent_path(desktop));
  {
    const UniqueHandle holder(CreateFileW(to_wide(held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(remove_shortcuts(test::context_for(root), RemovalMode::full));
  }
  EXPECT_TRUE(path_exists(held));
  EXPECT_FALSE(path_exists(gone));
  std::vector<std::string> lines =
      lines_of(read_file(join_path(root, "updates\\rust-updater.log")).value_or(""));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{fail_line(held, ERROR_SHARING_VIOLATION), "removed " + gone}));
}

// Many shortcuts are read on two threads: each is still judged by its own target, whichever
// thread read it, and the root is the place its long name names, though the run spells it short.
TEST_F(Shortcuts, AmongManyShortcutsExactlyThoseIntoTheRootGo) {
  const std::string root = join_path(fresh_folder("many"), "KoraVane Games");
  make_folder(root);
  write_file(join_path(root, "Update.exe"), "x");
  const std::string elsewhere = join_path(fresh_folder("other"), "Tool.exe");
  write_file(elsewhere, "x");
  const std::string desktop = join_path(fresh_folder("profile"), "Desktop");
  make_folder(desktop);
  std::vector<std::string> into_root;
  for (int i = 0; i < 40; ++i) {
    const std::string link = join_path(desktop, "Link " + std::to_string(i) + ".lnk");
    ASSERT_TRUE(test::make_shell_link(to_wide(link), to_wide(i % 3 == 0 ? join_path(root, "Update.exe") : elsewhere)));
    if (i % 3 == 0) into_root.push_back(link);
  }
  test::set_env("APPDATA", std::nullopt);
  test::set_env("USERPROFILE", *parent_path(desktop));
  std::wstring short_root(32768, L'\0');
  short_root.resize(GetShortPathNameW(to_wide(root).c_str(), short_root.data(), 32768));
  RunContext context = test::context_for(from_wide(short_root));
  context.root.final = root;

  EXPECT_TRUE(remove_shortcuts(context, RemovalMode::full));
  for (int i = 0; i < 40; ++i) {
    const std::string link = join_path(desktop, "Link " + std::to_string(i) + ".lnk");
    EXPECT_EQ(path_exists(link), i % 3 != 0) << link;
  }
  std::vector<std::string> lines =
      lines_of(read_file(join_path(root, "updates\\rust-updater.log")).value_or(""));
  std::vector<std::string> expected;
  for (const std::string& link : into_root) expected.push_back("removed " + link);
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

TEST_F(Shortcuts, AKeyWithASubkeyGoesWhole) {
  create_key(HKEY_CURRENT_USER, true);
  remove_named();
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
}

// While the way back is kept, the registration holds what the uninstaller it starts needs: the root
// and the root's own uninstaller as its command. The install's key keeps its name and other values;
// a missing key is made.
TEST_F(Shortcuts, TheKeptRegistrationNamesTheRootAndItsUninstaller) {
  const auto value = [](const wchar_t* name) {
    wchar_t data[512] = {};
    DWORD size = sizeof data;
    const bool read = RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS;
    return read ? std::optional(from_wide(data)) : std::nullopt;
  };
  const std::string root = "C:\\Игры\\KoraVane";
  const std::string command = "\"C:\\Игры\\KoraVane\\Uninstall.exe\"";
  create_key(HKEY_CURRENT_USER, false);
  for (const wchar_t* name : {L"DisplayName", L"Publisher", L"UninstallString"}) {
    const std::wstring text = std::wstring(L"by the install: ") + name;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
  }
  EXPECT_TRUE(name_root_in_registration(root).ok());
  EXPECT_EQ(registered_install_location(), root);
  EXPECT_EQ(value(L"UninstallString"), command);
  EXPECT_EQ(value(L"DisplayName"), "by the install: DisplayName");
  EXPECT_EQ(value(L"Publisher"), "by the install: Publisher");
  EXPECT_TRUE(remove_uninstall_registration().ok());
  EXPECT_TRUE(name_root_in_registration(root).ok());
  EXPECT_EQ(registered_install_location(), root);
  EXPECT_EQ(value(L"UninstallString"), command);
  EXPECT_EQ(value(L"DisplayName"), "KoraVane");
  EXPECT_TRUE(remove_uninstall_registration().ok());
}

}  // namespace
}  // namespace koravane
