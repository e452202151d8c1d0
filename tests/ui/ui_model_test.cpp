#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui_model.h"

namespace koravane {
namespace {

std::string repeat(const std::string& piece, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(NoticeBody, KeepsExactly360CharactersAndCutsThe361st) {
  const std::string exact = repeat("a", 360);
  EXPECT_EQ(prepare_notice_body(exact), exact);
  EXPECT_EQ(prepare_notice_body(exact + "b"), exact + "\u2026");
  EXPECT_EQ(prepare_notice_body(repeat("x", 1000)), repeat("x", 360) + "\u2026");
}

TEST(NoticeBody, CountsCyrillicAndAstralByCharactersNotBytesOrUnits) {
  const std::string cyrillic = repeat("ж", 360);  // 720 bytes
  EXPECT_EQ(prepare_notice_body(cyrillic), cyrillic);
  EXPECT_EQ(prepare_notice_body(cyrillic + "я"), cyrillic + "\u2026");
  // An astral character is one scalar value (two UTF-16 units, four bytes).
  const std::string astral = repeat("\U0001F600", 359) + "z";
  EXPECT_EQ(prepare_notice_body(astral), astral);
  EXPECT_EQ(prepare_notice_body(astral + "!"), astral + "\u2026");
}

TEST(NoticeBody, TrimsWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(prepare_notice_body("\r\n\t  Лаунчер удалён.\n\nГотово. \u00A0\n"), "Лаунчер удалён.\n\nГотово.");
  EXPECT_EQ(prepare_notice_body("\u2003\u3000a  b\u2028"), "a  b");
  EXPECT_EQ(prepare_notice_body(" \t\r\n\u00A0\u2029"), "");
  EXPECT_EQ(prepare_notice_body(""), "");
}

TEST(NoticeBody, LimitAppliesAfterTrimming) {
  const std::string exact = repeat("д", 360);
  EXPECT_EQ(prepare_notice_body("   \n" + exact + "\n\n  "), exact);
  // Inner white space counts as characters.
  const std::string spaced = "a" + repeat(" ", 358) + "b";
  EXPECT_EQ(prepare_notice_body(spaced), spaced);
  EXPECT_EQ(prepare_notice_body(spaced + " c"), spaced + "\u2026");
  // A cut that falls on inner white space keeps it before the ellipsis.
  EXPECT_EQ(prepare_notice_body("a" + repeat(" ", 359) + "b"), "a" + repeat(" ", 359) + "\u2026");
}

TEST(Colours, AreStoredAsColorref) {
  EXPECT_EQ(rgb(232, 120, 110), 0x006E78E8u);
  EXPECT_EQ(ui_colour::background_top, 0x00120C0Au);
  EXPECT_EQ(ui_colour::card_fill, 0x001E1410u);
  const Palette removal = palette_for(true);
  EXPECT_EQ(removal.accent, 0x006E78E8u);
  EXPECT_EQ(removal.light_accent, 0x0096A0FFu);
  EXPECT_EQ(removal.card_border, 0x00262850u);
  const Palette standard = palette_for(false);
  EXPECT_EQ(standard.accent, 0x0054A2C9u);
  EXPECT_EQ(standard.light_accent, 0x0078C8E8u);
  EXPECT_EQ(standard.card_border, 0x00243A46u);
}

TEST(ButtonStyle, ChosenByControlIdAndPalette) {
  EXPECT_EQ(button_style_for(ID_BUTTON_PRIMARY, true), ButtonStyle::primary);
  EXPECT_EQ(button_style_for(ID_BUTTON_PRIMARY, false), ButtonStyle::primary);
  EXPECT_EQ(button_style_for(ID_BUTTON_ALTERNATE, true), ButtonStyle::danger);
  EXPECT_EQ(button_style_for(ID_BUTTON_ALTERNATE, false), ButtonStyle::secondary);
  EXPECT_EQ(button_style_for(ID_BUTTON_CANCEL, true), ButtonStyle::secondary);
  EXPECT_EQ(button_style_for(ID_BUTTON_CANCEL, false), ButtonStyle::secondary);
  for (int other : {0, 1, 2, 1000, 1004}) {
    EXPECT_EQ(button_style_for(other, true), ButtonStyle::secondary) << other;
  }
}

TEST(ButtonStyle, PrimaryFollowsPaletteAndPressedTakesAccent) {
  const ButtonColours removal = button_colours(ButtonStyle::primary, true, false);
  EXPECT_EQ(removal.fill, rgb(255, 160, 150));
  EXPECT_EQ(removal.border, rgb(232, 120, 110));
  EXPECT_EQ(removal.text, rgb(18, 14, 10));
  EXPECT_EQ(button_colours(ButtonStyle::primary, true, true).fill, rgb(232, 120, 110));
  const ButtonColours standard = button_colours(ButtonStyle::primary, false, false);
  EXPECT_EQ(standard.fill, rgb(232, 200, 120));
  EXPECT_EQ(standard.border, rgb(201, 162, 84));
  EXPECT_EQ(button_colours(ButtonStyle::primary, false, true).fill, rgb(201, 162, 84));
}

TEST(ButtonStyle, DangerAndSecondaryIgnorePaletteButNotPressed) {
  for (bool removal : {true, false}) {
    const ButtonColours danger = button_colours(ButtonStyle::danger, removal, false);
    EXPECT_EQ(danger.fill, rgb(210, 95, 88));
    EXPECT_EQ(danger.border, rgb(120, 40, 36));
    EXPECT_EQ(danger.text, rgb(240, 242, 248));
    EXPECT_EQ(button_colours(ButtonStyle::danger, removal, true).fill, rgb(180, 70, 64));
    const ButtonColours secondary = button_colours(ButtonStyle::secondary, removal, false);
    EXPECT_EQ(secondary.fill, rgb(28, 34, 48));
    EXPECT_EQ(secondary.border, rgb(70, 80, 100));
    EXPECT_EQ(secondary.text, rgb(240, 242, 248));
    EXPECT_EQ(button_colours(ButtonStyle::secondary, removal, true).fill, rgb(40, 48, 64));
  }
}

TEST(Keys, EscapeCancelsTheDialogEnterAndEscapeCloseANoticeTheProgressWindowAnswersNone) {
  using enum UiLayout;
  using R = std::optional<UiResult>;
  const struct {
    UiLayout layout;
    int id;
    R result;
  } cases[] = {
      {choice, ID_KEY_ESCAPE, UiResult::cancel},   {choice, ID_KEY_ENTER, std::nullopt},
      {notice, ID_KEY_ESCAPE, UiResult::cancel},   {notice, ID_KEY_ENTER, UiResult::primary},
      {progress, ID_KEY_ESCAPE, std::nullopt},     {progress, ID_KEY_ENTER, std::nullopt},
      {choice, ID_BUTTON_PRIMARY, UiResult::primary}, {choice, ID_BUTTON_ALTERNATE, UiResult::alternate},
      {choice, ID_BUTTON_CANCEL, UiResult::cancel},   {notice, ID_BUTTON_PRIMARY, UiResult::primary},
      {choice, ID_TEXT_BODY, std::nullopt},        {notice, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(command_result(c.layout, c.id), c.result) << static_cast<int>(c.layout) << " " << c.id;
  }
}

TEST(Children, TextsInReadingOrderOverlapNoButtonNorTheCloseGlyph) {
  const auto overlap = [](const UiBox& a, const UiBox& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
  };
  for (UiLayout layout : {UiLayout::choice, UiLayout::notice, UiLayout::progress}) {
    const int height = layout == UiLayout::choice ? 500 : 300;
    std::vector<UiChild> others = button_children(layout, true);
    others.push_back({0, close_glyph_box});
    int previous_top = 0;
    for (const UiChild& text : text_children(layout)) {
      const UiBox& box = text.box;
      EXPECT_TRUE(0 <= box.left && box.left < box.right && box.right <= 500 && 0 <= box.top && box.top < box.bottom &&
                  box.bottom <= height) << text.id;
      EXPECT_LE(previous_top, box.top) << "reading order at " << text.id;
      previous_top = box.bottom;
      for (const UiChild& other : others) EXPECT_FALSE(overlap(box, other.box)) << text.id << " over " << other.id;
      others.push_back(text);
    }
    const auto buttons = button_children(layout, true);
    for (size_t i = 1; i < buttons.size(); ++i) EXPECT_LT(buttons[i - 1].box.top, buttons[i].box.top);
  }
  EXPECT_EQ(text_children(UiLayout::progress).back().box, progress_box::count_text);
  // Tab order: the first choice, the other, then Cancel; a dialog without the other keeps the rest.
  const auto ids = [](bool alternate) {
    std::vector<int> ids;
    for (const UiChild& button : button_children(UiLayout::choice, alternate)) ids.push_back(button.id);
    return ids;
  };
  EXPECT_EQ(ids(true), (std::vector<int>{ID_BUTTON_PRIMARY, ID_BUTTON_ALTERNATE, ID_BUTTON_CANCEL}));
  EXPECT_EQ(ids(false), (std::vector<int>{ID_BUTTON_PRIMARY, ID_BUTTON_CANCEL}));
}

TEST(TextPacer, PassesTheFirstAtOnceThenAtMostOnceAnInterval) {
  const struct {
    uint64_t interval;
    std::vector<std::pair<const char*, uint64_t>> offers;
    std::vector<const char*> passed;  // "" where nothing is passed on
  } cases[] = {
      {1000, {{"1", 5}, {"2", 6}, {"3", 1004}, {"3", 1005}, {"4", 1006}}, {"1", "", "", "3", ""}},
      {1000, {{"1", 0}, {"1", 5000}, {"2", 5000}, {"2", 9000}}, {"1", "", "2", ""}},
      {1000, {{"1", 0}, {"2", 999}, {"2", 1000}}, {"1", "", "2"}},
      {0, {{"a", 7}, {"b", 7}, {"b", 7}, {"a", 7}}, {"a", "b", "", "a"}},
  };
  for (const auto& c : cases) {
    TextPacer pacer(c.interval);
    for (size_t i = 0; i < c.offers.size(); ++i) {
      const auto& [text, now] = c.offers[i];
      EXPECT_EQ(pacer.offer(text, now).value_or(""), c.passed[i]) << c.interval << " offer " << i;
    }
  }
}

// Every colour a look draws with, and each foreground with what it is drawn on.
std::vector<Colour> colours_of(const UiLook& l) {
  std::vector<Colour> all{l.background_top, l.background_bottom, l.frame, l.accent, l.brand, l.heading_text,
                          l.body_text, l.card_fill, l.card_border, l.close_normal, l.close_hover, l.focus_frame,
                          l.progress_track, l.progress_track_border};
  for (const auto& style : l.buttons) {
    for (const ButtonColours& b : style) all.insert(all.end(), {b.fill, b.border, b.text});
  }
  return all;
}

std::vector<std::pair<Colour, Colour>> drawn_over(const UiLook& l) {
  std::vector<std::pair<Colour, Colour>> pairs;
  for (Colour back : {l.background_top, l.background_bottom}) {
    for (Colour front : {l.frame, l.accent, l.brand, l.heading_text, l.close_normal, l.close_hover, l.card_border}) {
      pairs.emplace_back(front, back);
    }
  }
  for (Colour front : {l.body_text, l.heading_text, l.accent, l.card_border, l.progress_track_border}) {
    pairs.emplace_back(front, l.card_fill);
  }
  pairs.emplace_back(l.accent, l.progress_track);
  for (const auto& style : l.buttons) {
    for (const ButtonColours& b : style) {
      pairs.insert(pairs.end(), {{b.text, b.fill}, {l.focus_frame, b.fill}, {b.border, l.background_bottom}});
    }
  }
  return pairs;
}

TEST(Look, HighContrastDrawsOnlyInSystemColoursAndEveryShapeStaysVisible) {
  const SystemColours black{rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(255, 255, 255), rgb(26, 235, 255),
                            rgb(0, 0, 0)};
  const SystemColours white{rgb(255, 255, 255), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(55, 0, 110),
                            rgb(255, 255, 255)};
  const SystemColours distinct{1, 2, 3, 4, 5, 6};
  for (const SystemColours& system : {black, white, distinct}) {
    const std::vector<Colour> allowed{system.window, system.window_text, system.button_face, system.button_text,
                                      system.highlight, system.highlight_text};
    for (Colour colour : colours_of(high_contrast_look(system))) {
      EXPECT_NE(std::find(allowed.begin(), allowed.end(), colour), allowed.end()) << std::hex << colour;
    }
  }
  for (const UiLook& look : {dark_look(true), dark_look(false), high_contrast_look(black), high_contrast_look(white)}) {
    for (const auto& [front, back] : drawn_over(look)) EXPECT_NE(front, back) << std::hex << front;
  }
}

TEST(ProgressText, GroupsThousandsWithPlainSpaces) {
  const struct {
    uint64_t value;
    const char* text;
  } cases[] = {{0, "0"},
               {7, "7"},
               {999, "999"},
               {1000, "1 000"},
               {12345, "12 345"},
               {100000, "100 000"},
               {1000000, "1 000 000"},
               {40021, "40 021"},
               {std::numeric_limits<uint64_t>::max(), "18 446 744 073 709 551 615"}};
  for (const auto& c : cases) EXPECT_EQ(group_thousands(c.value), c.text) << c.value;
  EXPECT_EQ(files_removed_text(0), "Удалено файлов: 0");
  EXPECT_EQ(files_removed_text(12345), "Удалено файлов: 12 345");
}

TEST(ProgressText, NamesEachStage) {
  EXPECT_EQ(progress_stage_text(ProgressStage::closing_launcher), "Закрываем лаунчер\u2026");
  EXPECT_EQ(progress_stage_text(ProgressStage::removing_shortcuts), "Удаляем ярлыки\u2026");
  EXPECT_EQ(progress_stage_text(ProgressStage::removing_files), "Удаляем файлы\u2026");
}

TEST(ProgressBar, DeterminateFillFollowsDoneOfTotal) {
  constexpr uint64_t most = std::numeric_limits<uint64_t>::max();
  const struct {
    uint64_t done, total;
    int width;
  } cases[] = {
      {0, 0, 0},         {5, 0, 0},  // nothing known: nothing filled
      {0, 10, 0},        {1, 10, 40},         {5, 10, 200},
      {9, 10, 360},      {10, 10, 400},       {11, 10, 400},  // never past the track
      {1, 1000, 0},      {999, 1000, 399},    // full only when all is done
      {most / 2, most, 199},                  // no overflow on huge numbers
      {most - 1, most, 399},                  {most, most, 400},
      {1ull << 62, 1ull << 63, 200},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(determinate_fill_width(400, c.done, c.total), c.width) << c.done << "/" << c.total;
  }
  EXPECT_EQ(determinate_fill_width(0, 1, 2), 0);
  EXPECT_EQ(determinate_fill_width(-5, 1, 2), 0);
}

TEST(ProgressBar, FillStaysOnTheTrack) {
  const UiBox track = progress_box::track;
  const int width = track.right - track.left;
  ProgressSnapshot half{ProgressStage::removing_files, 17, 3, 6};
  EXPECT_EQ(progress_fill(half, 0), (UiBox{track.left, track.top, track.left + width / 2, track.bottom}));
  EXPECT_EQ(progress_fill(half, 999), progress_fill(half, 0)) << "a known total ignores the marquee";
  ProgressSnapshot over{ProgressStage::removing_files, 0, 9, 6};
  EXPECT_EQ(progress_fill(over, 0), track);
  // Everything a timer tick changes lies inside the area it repaints.
  const UiBox inside = progress_box::card_inside;
  for (const UiBox& box : {progress_box::stage_text, progress_box::track, progress_box::count_text}) {
    EXPECT_TRUE(inside.left <= box.left && box.right <= inside.right && inside.top <= box.top &&
                box.bottom <= inside.bottom);
  }
}

TEST(ProgressBar, MarqueeMovesAlongTheTrackAndWraps) {
  const UiBox track = progress_box::track;
  const int width = track.right - track.left;
  const ProgressSnapshot unknown{ProgressStage::removing_files, 5, 0, 0};
  // The whole segment is in view at the start and moves one step a tick.
  EXPECT_EQ(progress_fill(unknown, 0), (UiBox{track.left, track.top, track.left + marquee_width, track.bottom}));
  EXPECT_EQ(progress_fill(unknown, 1).left, track.left + marquee_step);
  const uint32_t period = static_cast<uint32_t>(width + marquee_width) / marquee_step;
  static_assert((408 + marquee_width) % marquee_step == 0, "the table below assumes whole steps a lap");
  ASSERT_EQ(width, 408);
  bool saw_entering = false, saw_leaving = false;
  for (uint32_t tick = 0; tick < 3 * period; ++tick) {
    const UiBox fill = progress_fill(unknown, tick);
    EXPECT_GE(fill.left, track.left) << tick;
    EXPECT_LE(fill.right, track.right) << tick;
    EXPECT_LE(fill.left, fill.right) << tick;
    EXPECT_LE(fill.right - fill.left, marquee_width) << tick;
    EXPECT_EQ(fill, progress_fill(unknown, tick + period)) << "one lap later the same place: " << tick;
    saw_entering |= fill.left == track.left && fill.right - fill.left < marquee_width && fill.right > fill.left;
    saw_leaving |= fill.right == track.right && fill.right - fill.left < marquee_width && fill.right > fill.left;
  }
  EXPECT_TRUE(saw_entering && saw_leaving) << "the segment runs out at the right and in again at the left";
  // Very late ticks neither overflow nor leave the track.
  const UiBox late = progress_fill(unknown, std::numeric_limits<uint32_t>::max());
  EXPECT_TRUE(track.left <= late.left && late.left <= late.right && late.right <= track.right);
}

}  // namespace
}  // namespace koravane
