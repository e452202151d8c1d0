// How the deferred script's interpreter is started, read back by a recording cmd.exe: its command
// line, its current directory, and the paths the script was given. (The command line for every
// cmd special character is the script text's test; a real cmd running a script from such a folder
// is the self-deletion test's.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/path_text.h"
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
    SetEnvironmentVariableW(L"TMP", saved_tmp_);
    SetEnvironmentVariableW(L"TEMP", saved_temp_);
    SetCurrentDirectoryW(saved_cwd_);
  }
  // Schedules with the temporary folder at temp and returns the recorder's three lines, once
  // it has written them (the interpreter is not awaited), within a minute.
  std::vector<std::string> schedule_in(const std::string& temp, const std::vector<std::string>& paths) {
    test::set_env("TMP", temp);
    test::set_env("TEMP", temp);
    schedule_self_deletion(paths, test::fresh_folder("root"), {0, "none.exe"});
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

  std::string record_;
  wchar_t saved_tmp_[MAX_PATH + 1] = {};
  wchar_t saved_temp_[MAX_PATH + 1] = {};
  wchar_t saved_cwd_[MAX_PATH + 1] = {};
};

TEST_F(InterpreterStart, APlainTemporaryFolderKeepsTheUsualCommandLine) {
  const std::string temp = test::fresh_folder("plain") + "\\";
  const auto lines = schedule_in(temp, {"C:\\K\\Update.exe"});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "\"cmd\" /C " + script_in(temp));
  EXPECT_TRUE(same_path(lines[2].substr(4), temp)) << lines[2] << " is not " << temp;
}

TEST_F(InterpreterStart, RelativePathsReachTheScriptAbsolute) {
  const std::string work = test::fresh_folder("work");
  ASSERT_TRUE(SetCurrentDirectoryW(to_wide(work).c_str()));
  const std::string temp = test::fresh_folder("temp") + "\\";
  ASSERT_EQ(schedule_in(temp, {"", "sub\\Uninstall.exe", "."}).size(), 3u);
  const std::string script = test::read_all(script_in(temp));
  // The empty root and "." are the current directory; the script runs elsewhere.
  EXPECT_NE(script.find("if exist \"" + work + "\\*\" (rd /s /q \"" + work + "\")"), std::string::npos)
      << script;
  EXPECT_NE(script.find("if exist \"" + join_path(work, "sub\\Uninstall.exe") + "\\*\""),
            std::string::npos)
      << script;
  EXPECT_EQ(script.find("if exist \"\\*\""), std::string::npos) << script;
  EXPECT_EQ(script.find("if exist \".\\*\""), std::string::npos) << script;
}

}  // namespace
}  // namespace koravane
