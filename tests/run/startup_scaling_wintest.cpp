#include <gtest/gtest.h>

#include "support/probe_run_win.h"

namespace koravane {
namespace {

using probe_test::run_probe_copy;
using test::fresh_folder;
using test::make_folder;

// The probe asks for GDI scaling as Uninstall.exe's start-up does, reads the awareness before
// any window exists, then makes one. Where the system knows the GDI-scaled context (Windows 10
// 1809 and later) the request must take and the window must get it; where it does not (Wine 8,
// earlier Windows 10) the system must refuse it as an unknown context and leave the process as
// it was. Not asking, asking in vain through a wrong name, or asking for another (known)
// context shows as "unavailable" or as a refusal with another error.
TEST(StartupScaling, GdiScalingIsAskedForBeforeTheFirstWindow) {
  const std::string base = fresh_folder("Масштаб");
  const std::string program = join_path(base, "Uninstall.exe");
  ASSERT_TRUE(make_folder(join_path(base, "work")));
  const auto report = run_probe_copy(program, "", join_path(base, "work"));
  ASSERT_EQ(report.exit_code, 0u) << report.executable;
  if (report.scaled_context_known == "known") {
    EXPECT_EQ(report.scaling, "applied");
    EXPECT_EQ(report.before_window, "gdi-scaled");
    EXPECT_EQ(report.first_window, "gdi-scaled");
  } else {
    EXPECT_EQ(report.scaled_context_known, "unknown");
    EXPECT_EQ(report.scaling, "refused " + std::to_string(ERROR_INVALID_PARAMETER));
    EXPECT_NE(report.before_window, "gdi-scaled");
    EXPECT_EQ(report.first_window, report.before_window);
  }
}

}  // namespace
}  // namespace koravane
