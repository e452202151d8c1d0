// How the deferred script's interpreter is started, read back by a recording cmd.exe: its command
// line and its current directory. (The command line is the script text's test too; a real cmd
// running a script from a folder of any name is the self-deletion test's.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files/env.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "selfdelete/self_delete.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::lines_of;

class InterpreterStart : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = join_path(test::fresh_folder("record"), "cmd.txt");
    test::set_env("KORAVANE_RECORD_FILE", record_);
    GetEnvironmentVariableW(L"TMP", saved_tmp_, MAX_PATH + 1);
    GetEnvironmentVariableW(L"TEMP", saved_temp_, MAX_PATH + 1);
    GetCurrentDirectoryW(MAX_PATH + 1, saved_cwd_);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"KORAVANE_RECORD_HELD", nullptr);
    SetEnvironmentVariableW(L"TMP", saved_tmp_);
    SetEnvironmentVariableW(L"TEMP", saved_temp_);
    SetCurrentDirectoryW(saved_cwd_);
  }
  // Schedules with the temporary folder at temp and returns the recorder's three lines, once
  // it has written them (the interpreter is not awaited), within a minute.
  std::vector<std::string> schedule_in(const std::string& temp, const std::vector<std::string>& paths) {
    test::set_env("TMP", temp);
    test::set_env("TEMP", temp);
    root_ = test::fresh_folder("root");
    schedule_self_deletion(paths, RunLog(root_), {0, "none.exe"});
    const ULONGLONG deadline = GetTickCount64() + 60000;
    std::vector<std::string> lines;
    while ((lines = lines_of(test::read_all(record_))).size() < 3 && GetTickCount64() < deadline) {
      Sleep(50);
    }
    return lines;
  }
  std::string script_in(const std::string& temp) const {
    return join_path(temp, "koravane-uninstall-" + std::to_string(GetCurrentProcessId()) + ".cmd");
  }

  std::string root_;  // of the last schedule_in
  std::string record_;
  wchar_t saved_tmp_[MAX_PATH + 1] = {};
  wchar_t saved_temp_[MAX_PATH + 1] = {};
  wchar_t saved_cwd_[MAX_PATH + 1] = {};
};

// Whatever the temporary folder is called, cmd is started in it and given the script by its name
// there: the folder's path never reaches cmd's command line. The log names the script in full.
TEST_F(InterpreterStart, TheScriptIsNamedRelativeToTheFolderTheInterpreterStartsIn) {
  const std::string base = test::fresh_folder("special");
  for (const std::string name : {"plain", "Tom&Jerry (x) ^1@x", "100% %PATH% !x!"}) {
    const std::string temp = join_path(base, name) + "\\";
    ASSERT_TRUE(test::make_folder(temp));
    const auto lines = schedule_in(temp, {"C:\\K\\Update.exe"});
    ASSERT_EQ(lines.size(), 3u) << name;
    EXPECT_EQ(lines[0], "\"cmd\" /D /V:OFF /C .\\koravane-uninstall-" +
                            std::to_string(GetCurrentProcessId()) + ".cmd");
    EXPECT_TRUE(same_path(lines[2].substr(4), temp)) << lines[2] << " is not " << temp;
    EXPECT_EQ(test::read_all(join_path(root_, "updates\\rust-updater.log")),
              "scheduled delete via " + script_in(temp) + "\n");
    ASSERT_TRUE(DeleteFileW(to_wide(record_).c_str()));
  }
}

// Whatever we were handed, the interpreter outlives us holding none of it: its standard handles
// are the null device, not copies of ours (here a file, as when the output of a quiet run goes into
// a file inside the install root), and it inherits no other handle of ours.
TEST_F(InterpreterStart, TheInterpreterGetsTheNullDeviceAndNoHandleOfOurs) {
  const std::string folder = test::fresh_folder("handed");
  const UniqueHandle output = test::create_inheritable_file(join_path(folder, "output.txt"));
  const UniqueHandle other = test::create_inheritable_file(join_path(folder, "other.txt"));
  ASSERT_TRUE(output && other);
  test::set_env("KORAVANE_RECORD_HELD", test::handle_value_text(other.get()));
  const std::string temp = test::fresh_folder("handed-temp") + "\\";
  const auto lines = [&] {
    const test::StandardHandlesSetTo handed(output.get());
    return schedule_in(temp, {"C:\\K\\Update.exe"});
  }();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "usestdhandles=1 in=char out=char err=char held=none");
}

// Process ids come round again, and with them script names: a file of that name that another
// program still has open for writing, sharing it, is rewritten and run all the same.
TEST_F(InterpreterStart, AScriptNameAnotherProgramHoldsOpenForWritingIsStillWrittenAndRun) {
  const std::string temp = test::fresh_folder("held-temp") + "\\";
  ASSERT_TRUE(test::write_file(script_in(temp), "stale"));
  const UniqueHandle holder(CreateFileW(to_wide(script_in(temp)).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  ASSERT_TRUE(holder);
  const auto lines = schedule_in(temp, {"C:\\K\\Update.exe"});
  EXPECT_EQ(lines.size(), 3u);
  EXPECT_EQ(test::read_all(join_path(root_, "updates\\rust-updater.log")),
            "scheduled delete via " + script_in(temp) + "\n");
  EXPECT_NE(test::read_all(script_in(temp)), "stale");
}

}  // namespace
}  // namespace koravane
