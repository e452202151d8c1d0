#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/basics/handles_win.h"
#include "platform/text/path_text.h"

#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::lines_of;

// Each test gets a fresh record file that the recorder child appends to.
class ChildLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = join_path(temp_folder().value(), "koravane-child-record-" +
                                                   std::to_string(GetCurrentProcessId()) + ".txt");
    DeleteFileW(to_wide(record_).c_str());
    SetEnvironmentVariableW(L"KORAVANE_RECORD_FILE", to_wide(record_).c_str());
    SetEnvironmentVariableW(L"KORAVANE_RECORD_EXIT", nullptr);
  }
  void TearDown() override {
    DeleteFileW(to_wide(record_).c_str());
    SetEnvironmentVariableW(L"KORAVANE_RECORD_FILE", nullptr);
    SetEnvironmentVariableW(L"KORAVANE_RECORD_HELD", nullptr);
  }
  std::vector<std::string> records() const { return lines_of(test::read_all(record_)); }

  std::string record_;
};

TEST_F(ChildLaunch, RunChildPassesTheExactCommandLineAndReturnsTheExitCode) {
  SetEnvironmentVariableW(L"KORAVANE_RECORD_EXIT", L"3221225477");  // 0xC0000005: all 32 bits
  ChildCommand command{"child_recorder"};
  command.arg("a b").arg("").arg("x\"y").arg("C:\\T\\").arg("Иван 😀");
  auto result = run_child(command);
  ASSERT_TRUE(result.ok()) << os_error_of(result);
  EXPECT_EQ(result.value(), 3221225477u);
  const auto lines = records();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "\"child_recorder\" \"a b\" \"\" x\\\"y C:\\T\\ \"Иван 😀\"");
}

TEST_F(ChildLaunch, StartChildReturnsAtOnceAndTheChildRunsOn) {
  ChildCommand command{"child_recorder"};
  command.arg("/C").arg("C:\\Temp dir\\s.cmd");
  auto result = start_child(command);
  ASSERT_TRUE(result.ok()) << os_error_of(result);
  // Poll with a generous deadline: the child is not awaited by design.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (records().size() < 3 && std::chrono::steady_clock::now() < deadline) Sleep(50);
  const auto lines = records();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "\"child_recorder\" /C \"C:\\Temp dir\\s.cmd\"");
  wchar_t own[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, own);
  EXPECT_EQ(lines[2], "cwd=" + from_wide(own)) << "the child shares our directory by default";
}

TEST_F(ChildLaunch, AChildCanStartInAFolderOfItsOwn) {
  const std::string folder = test::fresh_folder("Tom&Jerry (x) 100%");
  ChildCommand command{"child_recorder"};
  command.arg("/C").arg(".\\k.cmd");
  command.working_directory = folder;
  ASSERT_TRUE(run_child(command).ok());
  const auto lines = records();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "\"child_recorder\" /C .\\k.cmd");
  EXPECT_EQ(lines[2], "cwd=" + folder);
  command.working_directory = join_path(folder, "missing");
  EXPECT_FALSE(run_child(command).ok()) << "a folder that is not there fails the start";
}

TEST_F(ChildLaunch, StandardHandlesFollowTheirDisposition) {
  ChildCommand to_null{"child_recorder"};
  to_null.standard_input = StdioDisposition::null_device;
  to_null.standard_output = StdioDisposition::null_device;
  to_null.standard_error = StdioDisposition::null_device;
  ASSERT_TRUE(run_child(to_null).ok());
  ChildCommand inherited{"child_recorder"};
  ASSERT_TRUE(run_child(inherited).ok());
  const auto lines = records();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "usestdhandles=1 in=char out=char err=char");
  const std::string own = "in=" + test::standard_handle_kind(STD_INPUT_HANDLE) +
                          " out=" + test::standard_handle_kind(STD_OUTPUT_HANDLE) +
                          " err=" + test::standard_handle_kind(STD_ERROR_HANDLE);
  if (own != "in=none out=none err=none") {
    EXPECT_EQ(lines[4], "usestdhandles=1 " + own);
  }
}

TEST_F(ChildLaunch, WithoutAnyStandardHandleTheStartupInfoCarriesNoHandleFlag) {
  const HANDLE saved[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                           GetStdHandle(STD_ERROR_HANDLE)};
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  SetStdHandle(STD_ERROR_HANDLE, nullptr);
  auto result = run_child(ChildCommand{"child_recorder"});
  SetStdHandle(STD_INPUT_HANDLE, saved[0]);
  SetStdHandle(STD_OUTPUT_HANDLE, saved[1]);
  SetStdHandle(STD_ERROR_HANDLE, saved[2]);
  ASSERT_TRUE(result.ok()) << os_error_of(result);
  const auto lines = records();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[1].starts_with("usestdhandles=0 ")) << lines[1];
}

// Given one standard handle of three, the child gets that one, and none in place of the others.
TEST_F(ChildLaunch, WithOneStandardHandleOfThreeTheChildGetsThatOneAlone) {
  const std::string stream_path = join_path(test::fresh_folder("one-handle"), "stream.txt");
  const UniqueHandle stream(CreateFileW(to_wide(stream_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                        0, nullptr));
  ASSERT_TRUE(stream);
  constexpr DWORD kKinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  const HANDLE saved[3] = {GetStdHandle(kKinds[0]), GetStdHandle(kKinds[1]), GetStdHandle(kKinds[2])};
  for (int only = 0; only < 3; ++only) {
    for (int i = 0; i < 3; ++i) SetStdHandle(kKinds[i], i == only ? stream.get() : nullptr);
    const auto result = run_child(ChildCommand{"child_recorder"});
    for (int i = 0; i < 3; ++i) SetStdHandle(kKinds[i], saved[i]);
    ASSERT_TRUE(result.ok()) << only << ": " << os_error_of(result);
  }
  const auto lines = records();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "usestdhandles=1 in=disk out=none err=none");
  EXPECT_EQ(lines[4], "usestdhandles=1 in=none out=disk err=none");
  EXPECT_EQ(lines[7], "usestdhandles=1 in=none out=none err=disk");
}

// A child limited to its standard handles inherits those alone: another inheritable handle of
// ours (a file we were handed, say) stays ours, whether the child's standard handles are copies of
// ours, the null device or none at all.
TEST_F(ChildLaunch, AChildLimitedToItsStandardHandlesInheritsNoOtherHandle) {
  const std::string folder = test::fresh_folder("inheritance");
  const UniqueHandle stream = test::create_inheritable_file(join_path(folder, "stream.txt"));
  const UniqueHandle other = test::create_inheritable_file(join_path(folder, "other.txt"));
  ASSERT_TRUE(stream && other);
  test::set_env("KORAVANE_RECORD_HELD", test::handle_value_text(other.get()));

  using enum HandleInheritance;
  struct Case {
    const char* what;
    HandleInheritance inheritance;
    std::optional<StdioDisposition> disposition;
    bool we_have_standard_handles;
    std::string handles;  // how the second record line starts
    std::string held;     // and ends
  };
  const Case cases[] = {
      {"every inheritable handle", every_inheritable, std::nullopt, true,
       "usestdhandles=1 in=disk out=disk err=disk", "\\other.txt"},
      {"copies of ours", standard_handles_only, std::nullopt, true,
       "usestdhandles=1 in=disk out=disk err=disk", " held=none"},
      {"the null device", standard_handles_only, StdioDisposition::null_device, true,
       "usestdhandles=1 in=char out=char err=char", " held=none"},
      {"none at all", standard_handles_only, std::nullopt, false, "usestdhandles=0 ", " held=none"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(DeleteFileW(to_wide(record_).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    ChildCommand command{"child_recorder"};
    command.inheritance = c.inheritance;
    command.standard_input = command.standard_output = command.standard_error = c.disposition;
    const auto result = [&] {
      const test::StandardHandlesSetTo ours(c.we_have_standard_handles ? stream.get() : nullptr);
      return run_child(command);
    }();
    ASSERT_TRUE(result.ok()) << c.what << ": " << os_error_of(result);
    const auto lines = records();
    ASSERT_EQ(lines.size(), 3u) << c.what;
    EXPECT_TRUE(lines[1].starts_with(c.handles) && lines[1].ends_with(c.held))
        << c.what << ": " << lines[1];
  }
}

TEST_F(ChildLaunch, AMissingProgramIsNotFound) {
  auto run = run_child(ChildCommand{"koravane-no-such-program"});
  ASSERT_NE(launch_error_of(run), nullptr);
  EXPECT_EQ(launch_error_of(run)->message, "program not found");
  auto start = start_child(ChildCommand{"koravane-no-such-program"});
  ASSERT_NE(launch_error_of(start), nullptr);
  EXPECT_EQ(launch_error_of(start)->kind, LaunchErrorKind::not_found);
  EXPECT_TRUE(records().empty());
}

TEST_F(ChildLaunch, ADirectoryNamedLikeTheProgramIsFoundThenFailsToStart) {
  const std::string folder = parent_path(own_executable_path().value()).value();
  const std::string directory = join_path(folder, "koravane-folder-program.exe");
  CreateDirectoryW(to_wide(directory).c_str(), nullptr);
  auto result = run_child(ChildCommand{"koravane-folder-program"});
  RemoveDirectoryW(to_wide(directory).c_str());
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(launch_error_of(result), nullptr);
  EXPECT_NE(os_error_of(result), 0u);
}

}  // namespace
}  // namespace koravane
