// The run log beside a read-only log file, where the read-only attribute binds every user as it
// does on Windows: this program runs in a prefix of its own whose Wine lacks root's override of
// file modes (tools/wine-prefix --owner-modes), since the tests run as root.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/basics/handles_win.h"
#include "platform/context/run_log.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

TEST(RunLog, AReadOnlyLogIsLeftAloneAndStaysReadOnly) {
  const std::string root = test::fresh_folder("readonly");
  append_run_log(root, "kept");
  const std::string log = join_path(root, "updates\\rust-updater.log");
  const std::wstring path = to_wide(log);
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    const UniqueHandle writer(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_FALSE(writer) << "this system lets a read-only file be opened for appending: Wine runs "
                            "with root's override of file modes (tools/wine-exec runs this "
                            "program in its owner-modes prefix without it)";
  }

  append_run_log(root, "dropped");

  const DWORD attributes = GetFileAttributesW(path.c_str());
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(test::read_file(log), "kept\n");
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << "the run log never takes the attribute off";
}

}  // namespace
}  // namespace koravane
