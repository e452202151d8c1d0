#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "run/plan/run_plan_text.h"
#include "ui/notice_text.h"
#include "ui/ui_window_win.h"
#include "ui/world_text.h"

namespace koravane {
namespace {

// Measured with the window's own font as it paints: the longest explanations the dialog can get
// show whole in its card; beside folders it could not look into, up to 99 worlds and 99 folders.
TEST(TextFit, TheDialogsExplanationWithTheMostWorldsAndTheLargestSize) {
  const WindowDcGuard screen(nullptr);
  for (const uint64_t worlds : {uint64_t{0}, uint64_t{1}, uint64_t{3}, uint64_t{21}, uint64_t{99}, uint64_t{1234567}}) {
    for (const uint64_t bytes : {uint64_t{0}, uint64_t{1023}, uint64_t{999'900'000'000'000}}) {
      for (const uint64_t unread : {uint64_t{0}, uint64_t{1}, uint64_t{99}, uint64_t{1234567}}) {
        if ((worlds > 99 && unread > 0) || (worlds > 0 && unread > 99)) continue;
        const std::string body = removal_choice_body(worlds, bytes, unread);
        EXPECT_TRUE(body_fits(screen.dc(), UiLayout::choice, body)) << body;
      }
    }
  }
}

// The longest notices after a removal that left files: with the path shortened as far as it
// goes, the rest still shows above the button, for every mixture of reasons, with or without
// worlds the bin took or refused.
TEST(TextFit, TheLongestNoticesWithTheirPathsShortenedAsFarAsTheyGo) {
  const WindowDcGuard screen(nullptr);
  const std::string root = "C:\\" + std::string(300, 'x') + "\\a\\b\\c\\" + std::string(100, 'r');
  const std::string path = root + "\\" + std::string(100, 'y') + "\\" + std::string(100, 'z');
  // One entry for each reason, by its code and flags as the removal names it.
  const StayedEntry reasons[] = {{path, 32}, {path, 5}, {path, 4390, true}, {path, 206}, {path, 2, false, true}, {path, 1}};
  for (const RemovalMode mode : {RemovalMode::launcher_only, RemovalMode::full}) {
    for (unsigned mixture = 1; mixture < 64; ++mixture) {
      if (mode == RemovalMode::launcher_only && (mixture & 16u) != 0) continue;  // it sends no world to the bin
      StayedEntries stayed;
      while (stayed.size() < 12345) {
        for (size_t i = 0; i < std::size(reasons); ++i) {
          if ((mixture & (1u << i)) != 0) stayed.push_back(reasons[i]);
        }
      }
      for (const uint64_t recycled : {uint64_t{0}, uint64_t{21}}) {
        const uint64_t kept = (mixture & 16u) != 0 ? 21 : 0;
        RemovalOutcome outcome{{}, false, true, false, stayed, recycled, kept};
        const std::string body = notice_bodies(removal_notice(mode, outcome, root)).back();
        EXPECT_TRUE(body_fits(screen.dc(), UiLayout::notice, body)) << body;
      }
    }
  }
}

// As a person meets them, each reason alone and beside another, with worlds the bin took: every
// sentence shows, the path shortened as far as needed.
TEST(TextFit, TheUsualNoticesTellEveryReason) {
  const std::string root = "C:\\Users\\Пользователь\\AppData\\Local\\KoraVane";
  const std::string path = root + "\\minecraft\\saves\\Мой мир\\session.lock";
  const StayedEntry reasons[] = {{path, 2, false, true}, {path, 32}, {path, 5}, {path, 4390, true}, {path, 206}, {path, 1}};
  const size_t forms = shortened_paths(path, root).size();
  const WindowDcGuard screen(nullptr);
  for (const RemovalMode mode : {RemovalMode::launcher_only, RemovalMode::full}) {
    const bool full = mode == RemovalMode::full;
    for (size_t first = full ? 0 : 1; first < std::size(reasons); ++first) {
      for (size_t second = first; second < std::size(reasons); ++second) {
        const RemovalOutcome outcome{{}, false, true, false, {reasons[first], reasons[second]}, full ? 3u : 0u, first == 0};
        const std::vector<std::string> bodies = notice_bodies(removal_notice(mode, outcome, root));
        const auto fits = std::find_if(bodies.begin(), bodies.end(), [&](const auto& body) { return body_fits(screen.dc(), UiLayout::notice, body); });
        EXPECT_LT(fits - bodies.begin(), static_cast<std::ptrdiff_t>(forms)) << bodies.front();
      }
    }
  }
}

// The window's text layout never breaks a line at a no-break space: words so joined, wider than
// the card, cannot fit, while the same words joined by plain spaces wrap and do.
TEST(TextFit, NoLineBreaksAtANoBreakSpace) {
  const WindowDcGuard screen(nullptr);
  std::string joined = "200", spaced = "200";
  for (int i = 0; i < 30; ++i) {
    joined.append(kNoBreakSpace).append("миров");
    spaced.append(" миров");
  }
  EXPECT_TRUE(body_fits(screen.dc(), UiLayout::notice, spaced));
  EXPECT_FALSE(body_fits(screen.dc(), UiLayout::notice, joined));
}

}  // namespace
}  // namespace koravane
