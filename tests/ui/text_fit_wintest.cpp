#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "run/plan/run_plan_text.h"
#include "ui/ui_window_win.h"
#include "ui/world_text.h"

namespace koravane {
namespace {

// Measured with the window's own font as it paints: the longest explanations the dialog can get
// show whole in its card.
TEST(TextFit, TheDialogsExplanationWithTheMostWorldsAndTheLargestSize) {
  const WindowDcGuard screen(nullptr);
  for (const uint64_t worlds : {uint64_t{0}, uint64_t{1}, uint64_t{3}, uint64_t{21}, uint64_t{1234567}}) {
    for (const uint64_t bytes : {uint64_t{0}, uint64_t{1023}, uint64_t{999'900'000'000'000}}) {
      const std::string body = removal_choice_body(worlds, bytes);
      EXPECT_TRUE(body_fits(screen.dc(), UiLayout::choice, body)) << body;
    }
  }
}

// The longest notices after a removal that left files: with the path shortened as far as it
// goes, the rest still shows above the button, with or without worlds the bin took or refused.
TEST(TextFit, TheLongestNoticesWithTheirPathsShortenedAsFarAsTheyGo) {
  const WindowDcGuard screen(nullptr);
  const std::string path = "C:\\" + std::string(300, 'x') + "\\a\\b\\c\\" + std::string(200, 'y');
  for (const RemovalMode mode : {RemovalMode::launcher_only, RemovalMode::full}) {
    for (const auto& [recycled, kept] : {std::pair<uint64_t, uint64_t>{0, 0}, {21, 0}, {0, 21}, {21, 21}}) {
      RemovalOutcome outcome{{}, false, true, false, std::vector<std::string>(12345, path), recycled, kept};
      const std::string body = notice_bodies(removal_notice(mode, outcome)).back();
      EXPECT_TRUE(body_fits(screen.dc(), UiLayout::notice, body)) << body;
    }
  }
}

}  // namespace
}  // namespace koravane
