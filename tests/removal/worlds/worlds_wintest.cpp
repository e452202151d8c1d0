#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "removal/worlds/worlds.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

// A path that is not fully qualified names something in the working folder, and an empty one the
// working folder itself: no shell call is handed one, and what it would name stays.
TEST(RecycleWorld, APathNotFullyQualifiedReachesNoShellCall) {
  const std::string base = test::fresh_folder("koravane-worlds-relative");
  ASSERT_TRUE(test::make_folder(join_path(base, "w")) && test::write_file(join_path(base, "w\\level.dat"), "L"));
  wchar_t saved[MAX_PATH] = {};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(to_wide(base).c_str()));
  for (const std::string& path : {std::string("w"), std::string(), std::string(".\\w"), base.substr(0, 2) + "w"}) {
    EXPECT_EQ(error_code(recycle_world(path)), static_cast<uint32_t>(ERROR_BAD_PATHNAME)) << path;
  }
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(test::read_all(join_path(base, "w\\level.dat")), "L");
}

}  // namespace
}  // namespace koravane
