#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/text/os_text.h"
#include "ui/input_gate.h"
#include "ui/notice_text.h"
#include "ui/ui_model.h"

namespace koravane {
namespace {

// A notice opened at 1000 ms; the double-click time is 500 ms.
struct GateCase {
  const char* what;
  std::optional<uint32_t> earlier_press;
  std::vector<InputEvent> events;
  std::vector<bool> admitted;
};

TEST(InputGate, ActsOnlyOnInputThatBeganOnTheShownWindow) {
  using K = InputKind;
  const GateCase cases[] = {
      {"a click after the window appeared", 200, {{K::press, 1100}, {K::release, 1150}}, {true, true}},
      {"a press before it, released on it", std::nullopt, {{K::press, 990}, {K::release, 1010}}, {false, false}},
      {"the second click of a double click begun before", 900, {{K::press, 1020}, {K::release, 1080}}, {false, false}},
      {"a click once the double-click time is over", 900, {{K::press, 1401}, {K::release, 1450}}, {true, true}},
      {"a second click just within the double-click time", 900, {{K::press, 1400}}, {false}},
      {"a press in the very millisecond of the press before", 1000, {{K::press, 1000}}, {false}},
      {"a click in the very millisecond it was painted", std::nullopt, {{K::press, 1000}}, {true}},
      {"a key in the very millisecond it was painted", std::nullopt, {{K::key_down, 1000, 13}}, {true}},
      {"a key pressed on it", std::nullopt, {{K::key_down, 1001, 13}, {K::key_up, 1050, 13}}, {true, true}},
      {"a key pressed before and released on it", std::nullopt, {{K::key_up, 1010, 27}}, {false}},
      {"a key's repeats held from before", std::nullopt,
       {{K::key_down, 1300, 13, true}, {K::key_down, 1340, 13, true}, {K::key_up, 1400, 13}}, {false, false, false}},
      {"a key queued before it was shown", std::nullopt, {{K::key_down, 999, 13}}, {false}},
      {"repeats of a key pressed on it", std::nullopt,
       {{K::key_down, 1100, 32}, {K::key_down, 1600, 32, true}, {K::key_up, 1700, 32}}, {true, true, true}},
      {"a key tapped on from before until it pauses", 900,
       {{K::key_down, 1100, 32}, {K::key_up, 1150, 32}, {K::key_down, 1600, 32}, {K::key_up, 1650, 32},
        {K::key_down, 2101, 32}, {K::key_up, 2150, 32}},
       {false, false, false, false, true, true}},
      {"clicks and keys make one run", 900, {{K::press, 1300}, {K::key_down, 1700, 13}, {K::press, 2201}},
       {false, false, true}},
      {"a run of keys queued before it was shown goes on after", std::nullopt,
       {{K::key_down, 990, 32}, {K::key_down, 1490, 32}, {K::key_down, 1991, 32}}, {false, false, true}},
      {"a key long after the last press before", 200, {{K::key_down, 1001, 27}}, {true}},
      {"once the run has paused, a double click on it counts whole", 900,
       {{K::press, 1500}, {K::release, 1550}, {K::press, 1600}, {K::release, 1650}}, {true, true, true, true}},
  };
  for (const GateCase& c : cases) {
    InputGate gate;
    ASSERT_FALSE(gate.admit({InputKind::press, 1})) << "before it is shown nothing counts";
    gate.shown(1000, c.earlier_press, 500);
    gate.shown(5000, std::nullopt, 0);  // painted again: it was shown at its first painting
    for (size_t i = 0; i < c.events.size(); ++i) EXPECT_EQ(gate.admit(c.events[i]), c.admitted[i]) << c.what << " #" << i;
  }
  // The tick wraps after 49.7 days: a press just after the wrap is after a window shown before it.
  InputGate wrapped;
  wrapped.shown(0xFFFFFF00u, std::nullopt, 500);
  EXPECT_TRUE(wrapped.admit({InputKind::press, 0x10}));
  InputGate double_across_wrap;
  double_across_wrap.shown(0xFFFFFFF0u, 0xFFFFFF00u, 500);
  EXPECT_FALSE(double_across_wrap.admit({InputKind::press, 0x20}));
  InputGate run_across_wrap;
  run_across_wrap.shown(0xFFFFFF00u, 0xFFFFFEF0u, 500);
  EXPECT_FALSE(run_across_wrap.admit({InputKind::key_down, 0xFFFFFF80u, 32}));
  EXPECT_FALSE(run_across_wrap.admit({InputKind::key_down, 0x20, 32}));
  EXPECT_TRUE(run_across_wrap.admit({InputKind::key_down, 0x220, 32}));
}

TEST(ShortenedPaths, KeepTheDriveTheFirstFolderAndTheLastTwo) {
  const std::vector<std::string> forms =
      shortened_paths("C:\\Users\\Иван\\OneDrive\\Документы\\Игры\\KoraVane Лаунчер\\Minecraft");
  ASSERT_GE(forms.size(), 2u);
  EXPECT_EQ(forms[0], "C:\\Users\\Иван\\OneDrive\\Документы\\Игры\\KoraVane Лаунчер\\Minecraft");
  EXPECT_EQ(forms[1], "C:\\Users\\…\\KoraVane Лаунчер\\Minecraft");
  EXPECT_EQ(forms[2], "C:\\Users\\…\\KoraVa…унчер\\Minecraft");  // the longest name, cut in its middle
  EXPECT_EQ(shortened_paths("\\\\server\\share\\a\\bb\\c\\d")[1], "\\\\server\\share\\a\\…\\c\\d");
  // Nothing to leave out: a short path, or one whose middle is a single letter.
  EXPECT_EQ(shortened_paths("D:\\x\\y"), std::vector<std::string>{"D:\\x\\y"});
  EXPECT_EQ(shortened_paths("D:\\a\\b\\c\\d"), std::vector<std::string>{"D:\\a\\b\\c\\d"});
  // The last names are never dropped, only cut.
  EXPECT_EQ(shortened_paths("D:\\Games\\Лаунчер KoraVane")[1], "D:\\Games\\Лаунче…aVane");
}

// Below the install root, its own name tells which install: it stays with the entry's last name,
// and both are cut only once nothing else can give, after what lies between them went.
TEST(ShortenedPaths, BelowTheRootKeepTheRootsNameWithTheLastName) {
  const std::string root = "C:\\users\\Иван\\AppData\\Local\\Игры и программы\\Лаунчеры Minecraft\\KoraVane Лаунчер";
  const std::vector<std::string> forms = shortened_paths(root + "\\mods\\second.jar", root);
  EXPECT_EQ(std::vector<std::string>(forms.begin() + 1, forms.begin() + 4),
            (std::vector<std::string>{"C:\\users\\…\\KoraVane Лаунчер\\mods\\second.jar",
                                      "C:\\users\\…\\KoraVane Лаунчер\\…\\second.jar",
                                      "C:\\users\\…\\KoraVa…унчер\\…\\second.jar"}));
  EXPECT_EQ(forms.back(), "C:\\users\\…\\Kor…чер\\…\\sec…jar");
  // Without the root the install's name goes at once.
  EXPECT_EQ(shortened_paths(root + "\\mods\\second.jar")[1], "C:\\users\\…\\mods\\second.jar");
  // Another case and a final separator name the same root; a path outside it is shortened as any.
  EXPECT_EQ(shortened_paths("D:\\Games\\KoraVane\\saves\\Мир 1\\region\\r.0.0.mca", "d:\\games\\koravane\\")[1],
            "D:\\Games\\KoraVane\\…\\region\\r.0.0.mca");
  EXPECT_EQ(shortened_paths("C:\\users\\Иван\\AppData\\Roaming\\koravane-launcher\\a.json", root),
            shortened_paths("C:\\users\\Иван\\AppData\\Roaming\\koravane-launcher\\a.json"));
}

TEST(ShortenedPaths, GetShorterStepByStepDownToAFewCharactersEach) {
  std::string deep = "E:";
  for (int i = 0; i < 20; ++i) deep += "\\Очень длинное имя папки номер " + std::to_string(i);
  const std::vector<std::string> forms = shortened_paths(deep);
  for (size_t i = 1; i < forms.size(); ++i) {
    EXPECT_LT(code_points(forms[i]).size(), code_points(forms[i - 1]).size()) << forms[i];
  }
  // Each name at last keeps three characters either side of its "…".
  EXPECT_EQ(forms.back(), "E:\\Оче…р 0\\…\\Оче… 18\\Оче… 19");
  // A notice gets its body with each form in turn, prepared as every notice body is.
  const std::vector<std::string> bodies = notice_bodies({" Папка «", deep, "». Ничего не удалено.\n"});
  ASSERT_EQ(bodies.size(), forms.size());
  EXPECT_EQ(bodies.back(), "Папка «" + forms.back() + "». Ничего не удалено.");
  EXPECT_EQ(notice_bodies(plain_notice("  Готово. ")), std::vector<std::string>{"Готово."});
  // Briefer texts after the path follow, each with every form of the path.
  const std::vector<std::string> briefer = notice_bodies({"«", "D:\\Games\\Лаунчер KoraVane", "». Длинно.", "", {"»."}});
  ASSERT_EQ(briefer.size(), 8u);
  EXPECT_EQ(briefer[3] + briefer[4], "«D:\\Games\\Лау…ane». Длинно.«D:\\Games\\Лаунчер KoraVane».");
}

TEST(FocusFrame, StandsOutAtLeastThreeToOneOnEveryButton) {
  EXPECT_NEAR(contrast_ratio(rgb(255, 255, 255), rgb(0, 0, 0)), 21.0, 1e-9);
  EXPECT_NEAR(contrast_ratio(rgb(80, 90, 100), rgb(80, 90, 100)), 1.0, 1e-9);
  EXPECT_LT(contrast_ratio(ui_colour::focus_frame, rgb(255, 160, 150)), 2.1);  // white on the light accent
  for (bool removal : {true, false}) {
    const UiLook look = dark_look(removal);
    for (ButtonStyle style : {ButtonStyle::primary, ButtonStyle::danger, ButtonStyle::secondary}) {
      for (bool pressed : {false, true}) {
        const ButtonColours& button = look.button(style, pressed);
        const Colour frame = focus_frame_colour(look.focus_frame, button);
        EXPECT_GE(contrast_ratio(frame, button.fill), focus_frame_min_contrast)
            << removal << " " << static_cast<int>(style) << " " << pressed;
        // Where white stood out enough, the frame stays white.
        if (style != ButtonStyle::primary) {
          EXPECT_EQ(frame, ui_colour::focus_frame);
        }
      }
    }
  }
}

TEST(Placement, WhollyWithinTheWorkAreaOrAtItsTopLeft) {
  struct Case {
    UiBox work;
    int width, height;
    UiPlace centre, corner;
  };
  const Case cases[] = {
      {{0, 0, 1280, 1024}, 500, 500, {640, 512}, {390, 262}},  // centred as before
      {{0, 0, 640, 480}, 500, 500, {320, 240}, {70, 0}},       // too high: at the top
      {{0, 0, 400, 300}, 500, 500, {200, 150}, {0, 0}},        // too small both ways: top-left
      {{0, 0, 1280, 984}, 500, 300, {1200, 950}, {780, 684}},  // kept off the taskbar and the edge
      {{-1920, 40, 0, 1080}, 500, 300, {-1900, 0}, {-1920, 40}},
  };
  for (const Case& c : cases) EXPECT_EQ(place_within(c.work, c.width, c.height, c.centre), c.corner);
}

TEST(Placement, BesideAnotherWindowHidingAsLittleOfItAsTheWorkAreaAllows) {
  struct Case {
    const char* what;
    UiBox work, other;
    UiPlace corner;
  };
  const Case cases[] = {
      {"to its right", {0, 0, 1920, 1080}, {710, 390, 1210, 690}, {1222, 390}},
      {"below, where the right has no room", {0, 0, 1280, 1024}, {390, 362, 890, 662}, {390, 674}},
      {"to its left, by the right edge", {0, 0, 1920, 600}, {1300, 150, 1800, 450}, {788, 150}},
      {"above, by the bottom right corner", {0, 0, 1400, 1000}, {450, 650, 950, 950}, {450, 338}},
      {"off a corner, where no side has room", {0, 0, 1280, 800}, {390, 250, 890, 550}, {780, 500}},
      {"least hidden on a screen too small", {0, 0, 640, 480}, {70, 90, 570, 390}, {140, 180}},
      {"on a monitor left of the primary", {-1920, 40, 0, 1080}, {-1910, 60, -1410, 360}, {-1398, 60}},
  };
  for (const Case& c : cases) EXPECT_EQ(place_beside(c.work, 500, 300, c.other), c.corner) << c.what;
}

}  // namespace
}  // namespace koravane
