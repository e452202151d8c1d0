#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace koravane
