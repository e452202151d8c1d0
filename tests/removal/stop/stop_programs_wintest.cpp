// The stop step under Wine: its task-kill children, read back by a recording taskkill.exe beside
// this test, and the programs running from what the chosen removal takes, which are asked to
// close and, failing that, ended; programs anywhere else keep running.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/stop/stop_launcher.h"
#include "removal/stop/stop_launcher_commands.h"
#include "support/run_context_win.h"
#include "support/running_copy_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::lines_of;

class StopPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = join_path(test::fresh_folder("record"), "taskkill.txt");
    test::set_env("KORAVANE_RECORD_FILE", record_);
  }
  void TearDown() override { test::set_env("KORAVANE_RECORD_FILE", std::nullopt); }
  std::vector<std::string> records() const { return lines_of(test::read_all(record_)); }
  static std::vector<std::string> log_of(const std::string& root) {
    std::vector<std::string> lines = lines_of(test::read_all(join_path(root, "updates\\rust-updater.log")));
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  std::string record_;
};

// A copy of the windowless stand-in, started from path, once it has said that it runs.
struct Windowless : test::IdleCopy {
  explicit Windowless(const std::string& path, const std::wstring& options = L"")
      : IdleCopy(test::built_program(KORAVANE_IDLE), path, options) {}
};

// A copy of the stand-in with a window of its own, which notes in closed_record that it was asked
// to close and then closes (when slow, only on its next timer tick, once it sees that note: a
// moment later); constructed once its window is on screen.
class Windowed : public test::RunningCopy {
 public:
  Windowed(const std::string& path, const std::string& closed_record, bool slow = false)
      : Windowed(path, closed_record, slow, join_path(test::fresh_folder("ready"), "ready.txt")) {}
  bool ready() const { return ready_; }

 private:
  Windowed(const std::string& path, const std::string& closed_record, bool slow,
           const std::string& ready_file)
      : RunningCopy(test::built_program(KORAVANE_IDLE), path,
                    L"\"" + to_wide(path) + L"\" --ready \"" + to_wide(ready_file) +
                        L"\" --window \"a game\" --closed \"" + to_wide(closed_record) + L"\"" +
                        (slow ? L" --ignore-close --until \"" + to_wide(closed_record) + L"\"" : L"")) {
    ready_ = process() && test::wait_for_ready_file(to_wide(ready_file), process());
  }
  bool ready_ = false;
};

constexpr DWORD kEndedCode = 1;  // what the stop step ends a program with

// Each line runs only while a process of its image runs; its command line is the stop commands'
// own test, here each reaches the child whole, in order. The recorder ends nothing, so the step
// then ends the stand-ins in the root itself; the look-alike elsewhere runs on.
TEST_F(StopPrograms, ATaskKillLineRunsForEachLauncherImageThatRunsThenThePauseFollows) {
  Windowless look_alike(join_path(test::fresh_folder("images"), "c\\KoraVane2.exe"));
  ASSERT_TRUE(look_alike.ready());
  for (const RemovalMode mode : {RemovalMode::full, RemovalMode::launcher_only}) {
    const std::string root = test::fresh_folder("stop-root");
    Windowless launcher(join_path(root, "app-1\\koravane.EXE"));
    Windowless updater(join_path(root, "app-1\\KoraVane-Updater.exe"));
    ASSERT_TRUE(launcher.ready() && updater.ready());
    test::set_env("KORAVANE_RECORD_FILE", record_ + (mode == RemovalMode::full ? ".full" : ".launcher"));
    const auto start = std::chrono::steady_clock::now();
    const StopOutcome outcome = stop_processes(launcher_stop_commands(mode), test::context_for(root), mode);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));  // a lower bound only
    EXPECT_EQ(outcome.lines_run, 2);
    EXPECT_EQ(outcome.asked, 0);
    EXPECT_EQ(outcome.ended, 2) << "the recorder ended nothing";
    const auto lines = lines_of(test::read_all(record_ + (mode == RemovalMode::full ? ".full" : ".launcher")));
    ASSERT_EQ(lines.size(), 6u) << "taskkill.exe next to the test should have run twice";
    const std::vector<TaskKillLine> commands = launcher_stop_commands(mode);
    for (size_t i : {0u, 1u}) {
      const TaskKillLine& expected = commands[i == 0 ? 0 : 2];
      const auto line = build_command_line(expected.command.program, expected.command.arguments);
      ASSERT_TRUE(line.ok());
      EXPECT_EQ(lines[3 * i], display_text_from_utf16(line.value())) << i;
    }
    EXPECT_TRUE(lines[1].starts_with("usestdhandles=1 ")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(" out=char err=char")) << lines[1];
    EXPECT_EQ(launcher.exit_code(0), kEndedCode);
    EXPECT_EQ(updater.exit_code(0), kEndedCode);
  }
  EXPECT_TRUE(look_alike.running());
}

// Another install's launcher runs from elsewhere: the line of its image, which ends by name, is
// skipped, and this install's process of that image is ended in its place, unasked and unsaid as
// the line would have ended it; the other install's launcher and what it started run on. Another
// image's line runs as before.
TEST_F(StopPrograms, ALineThatWouldReachAnotherInstallIsDoneThroughHandles) {
  const std::string base = test::fresh_folder("two-installs");
  const std::string root = join_path(base, "KoraVane");
  Windowless own(join_path(root, "app-1\\KoraVane.exe"));
  Windowless own_updater(join_path(root, "app-1\\KoraVane Updater.exe"));
  Windowless other(join_path(base, "Games\\KoraVane\\app-1\\KoraVane.exe"));
  ASSERT_TRUE(own.ready() && own_updater.ready() && other.ready());

  const StopOutcome outcome =
      stop_processes(launcher_stop_commands(RemovalMode::full), test::context_for(root), RemovalMode::full);

  EXPECT_EQ(own.exit_code(0), kEndedCode);
  EXPECT_TRUE(other.running());
  EXPECT_EQ(outcome.lines_run, 1);
  const auto lines = records();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].find("\"KoraVane Updater.exe\"") != std::string::npos) << lines[0];
  EXPECT_EQ(own_updater.exit_code(0), kEndedCode) << "the recorder ends nothing: the step ended it after its line";
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 1u) << "the line's work done in its place says nothing, as the line";
  EXPECT_TRUE(log[0].starts_with("ended ") && log[0].ends_with("KoraVane Updater.exe")) << log[0];
}

// Nothing of the launcher runs, only a look-alike: no child starts, nothing is asked, so no pause.
TEST_F(StopPrograms, WithNoLauncherImageRunningNoTaskKillStartsAndNothingIsDone) {
  Windowless look_alike(join_path(test::fresh_folder("look-alike"), "KoraVane2.exe"));
  ASSERT_TRUE(look_alike.ready());
  const std::string root = test::fresh_folder("stop-root");
  for (const RemovalMode mode : {RemovalMode::full, RemovalMode::launcher_only}) {
    const StopOutcome outcome = stop_processes(launcher_stop_commands(mode), test::context_for(root), mode);
    EXPECT_EQ(outcome.lines_run + outcome.asked + outcome.ended, 0);
  }
  EXPECT_TRUE(records().empty());
  EXPECT_TRUE(look_alike.running());
}

TEST_F(StopPrograms, AMissingTaskKillIsPassedOverAndThePauseStillFollows) {
  const std::string root = test::fresh_folder("stop-root");
  Windowless launcher(join_path(root, "app-1\\KoraVane.exe"));
  ASSERT_TRUE(launcher.ready());
  const auto begin = std::chrono::steady_clock::now();
  const StopOutcome outcome = stop_processes(launcher_stop_commands(RemovalMode::full, "koravane-no-such-program"),
                                             test::context_for(root), RemovalMode::full);
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(800));
  EXPECT_EQ(outcome.lines_run, 1);
  EXPECT_TRUE(records().empty());
  EXPECT_EQ(launcher.exit_code(0), kEndedCode) << "ended by the step once its line had done nothing";
}

// A game left running from the root's own runtime outlives the launcher: asked to close through
// its window, or ended when it has none. Look-alike siblings and copies of the uninstaller run on.
TEST_F(StopPrograms, FullRemovalClosesOrEndsEveryProgramRunningFromTheRoot) {
  const std::string base = test::fresh_folder("full-stop");
  const std::string root = join_path(base, "KoraVane");
  const std::string closed = join_path(base, "closed.txt");
  Windowed game(join_path(root, "runtime\\bin\\javaw.exe"), closed);
  Windowless helper(join_path(root, "runtime\\bin\\java.exe"));
  Windowless sibling(join_path(base, "KoraVane2\\game.exe"));
  Windowless uninstaller(join_path(root, "Uninstall.exe"));
  ASSERT_TRUE(game.ready() && helper.ready() && sibling.ready() && uninstaller.ready());

  stop_processes({}, test::context_for(root), RemovalMode::full);

  EXPECT_EQ(game.exit_code(0), 0u) << "closed by its own window, not ended";
  EXPECT_EQ(test::read_all(closed), "closed " + std::to_string(game.id()) + "\n");
  EXPECT_EQ(helper.exit_code(0), kEndedCode);
  EXPECT_TRUE(sibling.running());
  EXPECT_TRUE(uninstaller.running()) << "a second run of the uninstaller finishes by itself";
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].starts_with("closed ") && same_path(log[0].substr(7), join_path(root, "runtime\\bin\\javaw.exe")))
      << log[0];
  EXPECT_TRUE(log[1].starts_with("ended ") && same_path(log[1].substr(6), join_path(root, "runtime\\bin\\java.exe")))
      << log[1];
}

// Every program in the root with a window is asked through it, whichever window the system lists
// first; a program outside the root is never asked, window or not.
TEST_F(StopPrograms, EveryWindowInTheRootIsAskedToCloseAndNoneOutsideIt) {
  const std::string base = test::fresh_folder("windows-stop");
  const std::string root = join_path(base, "KoraVane");
  const std::string closed_inside = join_path(base, "closed-inside.txt");
  const std::string closed_outside = join_path(base, "closed-outside.txt");
  Windowed launcher(join_path(root, "KoraVane.exe"), closed_inside);
  Windowed game(join_path(root, "game\\game.exe"), closed_inside);
  Windowed other(join_path(base, "OtherApp\\other.exe"), closed_outside);
  ASSERT_TRUE(launcher.ready() && game.ready() && other.ready());

  stop_processes({}, test::context_for(root), RemovalMode::full);

  EXPECT_EQ(launcher.exit_code(0), 0u) << "closed by its own window, not ended";
  EXPECT_EQ(game.exit_code(0), 0u) << "closed by its own window, not ended";
  auto closed = lines_of(test::read_all(closed_inside));
  std::sort(closed.begin(), closed.end());
  auto expected = std::vector<std::string>{"closed " + std::to_string(launcher.id()),
                                           "closed " + std::to_string(game.id())};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(closed, expected);
  EXPECT_TRUE(other.running());
  EXPECT_EQ(test::read_all(closed_outside), "") << "a window outside the root was asked to close";
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].starts_with("closed ") && log[1].starts_with("closed ")) << log[0] << " / " << log[1];
}

// A program that closes a moment after it is asked is waited for: it closes by itself and is not
// ended, also when it is the only program in the root.
TEST_F(StopPrograms, AProgramThatClosesAMomentAfterItIsAskedIsWaitedFor) {
  const std::string base = test::fresh_folder("slow-stop");
  const std::string root = join_path(base, "KoraVane");
  const std::string closed = join_path(base, "closed.txt");
  Windowed game(join_path(root, "game.exe"), closed, /*slow=*/true);
  ASSERT_TRUE(game.ready());

  stop_processes({}, test::context_for(root), RemovalMode::full);

  EXPECT_EQ(game.exit_code(0), 0u) << "closed by itself, not ended";
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].starts_with("closed ") && same_path(log[0].substr(7), join_path(root, "game.exe")))
      << log[0];
}

// A program in the root that denies ending it to everyone cannot be opened for ending: it stays,
// named with the error the opening gave; the rest of the step goes as before.
TEST_F(StopPrograms, AProgramThatCannotBeOpenedForEndingIsNamedWithTheOpeningsError) {
  const std::string root = join_path(test::fresh_folder("guarded-stop"), "KoraVane");
  Windowless guarded(join_path(root, "runtime\\bin\\javaw.exe"), L"--deny-terminate");
  Windowless helper(join_path(root, "runtime\\bin\\java.exe"));
  ASSERT_TRUE(guarded.ready() && helper.ready());
  const UniqueHandle opened(OpenProcess(PROCESS_TERMINATE, FALSE, guarded.id()));
  ASSERT_FALSE(opened) << "the stand-in can still be opened for ending";
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  const StopOutcome outcome = stop_processes({}, test::context_for(root), RemovalMode::full);

  EXPECT_TRUE(guarded.running());
  EXPECT_EQ(helper.exit_code(0), kEndedCode);
  EXPECT_EQ(outcome.asked, 0);
  EXPECT_EQ(outcome.ended, 1);
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].starts_with("ended ") && same_path(log[0].substr(6), join_path(root, "runtime\\bin\\java.exe")))
      << log[0];
  const std::string guarded_image = join_path(root, "runtime\\bin\\javaw.exe");
  EXPECT_TRUE(log[1].starts_with("fail ") && same_path(log[1].substr(5, guarded_image.size()), guarded_image) &&
              log[1].ends_with(": " + os_error_text(ERROR_ACCESS_DENIED)))
      << log[1];
  // What it holds stays for it, not for want of access.
  ASSERT_EQ(outcome.left_running.size(), 1u);
  EXPECT_TRUE(same_path(outcome.left_running[0], guarded_image)) << outcome.left_running[0];
}

// Launcher-only removal takes the launcher's entries, so only programs running from those go; the
// game's own programs keep running, as its files stay.
TEST_F(StopPrograms, LauncherOnlyRemovalStopsOnlyProgramsOfTheLauncherEntries) {
  const std::string root = join_path(test::fresh_folder("launcher-stop"), "KoraVane");
  Windowless in_app(join_path(root, "app-1.5.84\\squirrel.exe"));
  Windowless updater(join_path(root, "Update.exe"));
  Windowless game(join_path(root, "minecraft\\runtime\\javaw.exe"));
  Windowless top_level_copy(join_path(root, "KoraVane.exe"));  // not a launcher entry: it stays
  Windowless not_an_entry(join_path(root, "app-data\\tool.exe"));
  Windowless uninstaller(join_path(root, "Uninstall.exe"));
  ASSERT_TRUE(in_app.ready() && updater.ready() && game.ready() && top_level_copy.ready() &&
              not_an_entry.ready() && uninstaller.ready());

  stop_processes({}, test::context_for(root), RemovalMode::launcher_only);

  EXPECT_EQ(in_app.exit_code(0), kEndedCode);
  EXPECT_EQ(updater.exit_code(0), kEndedCode);
  EXPECT_TRUE(game.running());
  EXPECT_TRUE(top_level_copy.running());
  EXPECT_TRUE(not_an_entry.running());
  EXPECT_TRUE(uninstaller.running());
  const auto log = log_of(root);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].starts_with("ended ") && log[1].starts_with("ended ")) << log[0] << " / " << log[1];
}

TEST_F(StopPrograms, TheRootIsComparedByPathWhateverItsSpelling) {
  const std::string base = test::fresh_folder("updater");
  const std::string root = join_path(base, "KoraVane");
  Windowless own(join_path(root, "Update.exe"));
  Windowless elsewhere(join_path(base, "OtherApp\\Update.exe"));
  Windowless other_uninstaller(join_path(base, "OtherApp\\Uninstall.exe"));
  Windowless sibling(join_path(root, "Updater.exe"));
  ASSERT_TRUE(own.ready() && elsewhere.ready() && other_uninstaller.ready() && sibling.ready());

  // The root as a user may have typed it: other case, forward slashes, a trailing separator.
  std::string spelled = root;
  for (char& c : spelled) c = c == '\\' ? '/' : static_cast<char>(std::toupper(c));
  stop_processes({}, test::context_for(spelled + "/"), RemovalMode::launcher_only);

  EXPECT_FALSE(own.running());
  EXPECT_TRUE(elsewhere.running());
  EXPECT_TRUE(other_uninstaller.running());
  EXPECT_TRUE(sibling.running());
}

// A root named by its 8.3 spelling still covers a program started by its long name; the root's
// own uninstaller, started by the long name too, is still known as a copy that finishes by itself.
TEST_F(StopPrograms, ProgramsAreJudgedByWhatTheirExecutableIs) {
  const std::string root = join_path(test::fresh_folder("short-stop"), "KoraVane Games");
  Windowless helper(join_path(root, "runtime\\bin\\java.exe"));
  Windowless uninstaller(join_path(root, "Uninstall.exe"));
  ASSERT_TRUE(helper.ready() && uninstaller.ready());
  std::wstring short_root(32768, L'\0');
  short_root.resize(GetShortPathNameW(to_wide(root).c_str(), short_root.data(), 32768));
  ASSERT_FALSE(short_root.empty());
  const std::string spelled = from_wide(short_root);
  ASSERT_FALSE(same_path(spelled, root)) << "no 8.3 spelling to start from";

  RunContext context = test::context_for(spelled);
  context.root.final = path_forms(spelled).final;
  ASSERT_TRUE(same_path(context.root.final, root)) << context.root.final;
  stop_processes({}, context, RemovalMode::full);

  EXPECT_EQ(helper.exit_code(0), kEndedCode);
  EXPECT_TRUE(uninstaller.running());
}

}  // namespace
}  // namespace koravane
