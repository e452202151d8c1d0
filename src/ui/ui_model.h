#pragma once
// What the custom window shows and answers, independent of Win32: result values, layouts,
// control ids and the child windows, what a key answers, colours and looks, the button style
// table, the notice body rule and the progress texts.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

// The answer of a custom window: an unsigned 32-bit value, none until a button or the glyph answers.
enum class UiResult : uint32_t { none = 0, primary = 1, cancel = 2, alternate = 3 };

// choice 500 x 500 with up to three buttons; notice 500 x 300 with one; progress 500 x 300 with none.
enum class UiLayout : uint8_t { choice, notice, progress };

inline constexpr int ID_BUTTON_PRIMARY = 1001;
inline constexpr int ID_BUTTON_CANCEL = 1002;
inline constexpr int ID_BUTTON_ALTERNATE = 1003;
// The child windows that hold the painted texts, so that assistive technology reads them.
inline constexpr int ID_TEXT_BRAND = 1010;
inline constexpr int ID_TEXT_HEADING = 1011;
inline constexpr int ID_TEXT_BODY = 1012;
inline constexpr int ID_TEXT_STAGE = 1013;
inline constexpr int ID_TEXT_COUNT = 1014;
// What the dialog keyboard handling sends for Enter and Escape (the system's IDOK and IDCANCEL).
inline constexpr int ID_KEY_ENTER = 1;
inline constexpr int ID_KEY_ESCAPE = 2;

// The answer a command gives in a layout, if any. Escape is Cancel in the dialog, and Enter and
// Escape close a notice; the progress window answers no key.
std::optional<UiResult> command_result(UiLayout layout, int control_id);

// A Win32 COLORREF: 0x00BBGGRR.
using Colour = uint32_t;
constexpr Colour rgb(uint8_t r, uint8_t g, uint8_t b) {
  return Colour{r} | (Colour{g} << 8) | (Colour{b} << 16);
}

// The three colours that follow the removal_style switch.
struct Palette {
  Colour accent;
  Colour light_accent;
  Colour card_border;
};
Palette palette_for(bool removal_style);

namespace ui_colour {
inline constexpr Colour background_top = rgb(10, 12, 18);
inline constexpr Colour background_bottom = rgb(18, 22, 32);
inline constexpr Colour frame = rgb(48, 54, 68);
inline constexpr Colour close_normal = rgb(120, 128, 140);
inline constexpr Colour close_hover = rgb(230, 234, 240);
inline constexpr Colour heading_text = rgb(240, 242, 248);
inline constexpr Colour card_fill = rgb(16, 20, 30);
inline constexpr Colour body_text = rgb(156, 168, 186);
inline constexpr Colour focus_frame = rgb(255, 255, 255);
inline constexpr Colour progress_track = rgb(36, 42, 58);
}  // namespace ui_colour

enum class ButtonStyle : uint8_t { primary, danger, secondary };

struct ButtonColours {
  Colour fill;
  Colour border;
  Colour text;
};

// Style by control id: 1001 is primary, 1003 is danger only in the removal palette, all else secondary.
ButtonStyle button_style_for(int control_id, bool removal_style);
ButtonColours button_colours(ButtonStyle style, bool removal_style, bool pressed);

// How far apart two colours stand for the eye: from 1 (the same) to 21 (black on white), by
// their relative luminance in sRGB, as accessibility guidelines measure it.
double contrast_ratio(Colour a, Colour b);
// What a focus frame must reach against the button it frames.
inline constexpr double focus_frame_min_contrast = 3.0;
// The frame drawn on a focused button: the look's focus colour where it stands out from the
// button's fill enough, else the button's own text colour, which is made to be read on it.
Colour focus_frame_colour(Colour focus, const ButtonColours& button);

// Every colour a window draws with, so that one drawing serves the dark look and high contrast.
struct UiLook {
  Colour background_top;
  Colour background_bottom;  // also behind each button's rounded corners
  Colour frame;
  Colour accent;  // top strip, card accent bar, progress fill
  Colour brand;
  Colour heading_text;  // also the progress count
  Colour body_text;     // also the progress stage
  Colour card_fill;
  Colour card_border;
  Colour close_normal;
  Colour close_hover;
  Colour focus_frame;
  Colour progress_track;
  Colour progress_track_border;
  ButtonColours buttons[3][2];  // by ButtonStyle, then pressed
  const ButtonColours& button(ButtonStyle style, bool pressed) const {
    return buttons[static_cast<int>(style)][pressed ? 1 : 0];
  }
};
UiLook dark_look(bool removal_style);

// The system colours a high-contrast look is made of.
struct SystemColours {
  Colour window;
  Colour window_text;
  Colour button_face;
  Colour button_text;
  Colour highlight;
  Colour highlight_text;
};
// The same layout in the system's colours: no gradient, no palette; borders in text colours so
// that every shape stays visible where the scheme gives window and buttons one colour.
UiLook high_contrast_look(const SystemColours& system);

// Longest notice body in Unicode scalar values before it is cut and "…" appended.
inline constexpr size_t notice_body_limit = 360;
// Trims White_Space at both ends and limits the rest to notice_body_limit characters.
std::string prepare_notice_body(std::string_view message);

// What the removal reports to the progress window. A total of 0 means the amount is not known
// without extra work, and the bar runs as a marquee instead.
enum class ProgressStage : uint8_t { closing_launcher, removing_shortcuts, removing_files };
struct ProgressSnapshot {
  ProgressStage stage = ProgressStage::closing_launcher;
  uint64_t files_removed = 0;
  uint64_t done = 0;
  uint64_t total = 0;
  bool operator==(const ProgressSnapshot&) const = default;
};

// A rectangle in client pixels, right and bottom exclusive (a RECT without the system headers).
struct UiBox {
  int left;
  int top;
  int right;
  int bottom;
  bool operator==(const UiBox&) const = default;
};

inline constexpr UiBox close_glyph_box{454, 10, 490, 46};
// Every button's left edge and size.
inline constexpr int button_left = 28;
inline constexpr int button_width = 428;
inline constexpr int button_height = 40;

// A point on the screen: a window's centre, or its top-left corner.
struct UiPlace {
  int x;
  int y;
  bool operator==(const UiPlace&) const = default;
};

// The top-left corner of a window of the given size centred on centre, moved as little as needed
// to lie wholly within the work area; where it is larger than the work area, it takes the work
// area's top or left edge.
UiPlace place_within(const UiBox& work_area, int width, int height, UiPlace centre);

// The top-left corner of a window of the given size beside `other` (another window, in the same
// screen coordinates), wholly within the work area: to its right, below, to its left, above, or
// diagonally off a corner, whichever of these hides the least of it, in that order.
UiPlace place_beside(const UiBox& work_area, int width, int height, const UiBox& other);
// Between a window placed beside another and that window.
inline constexpr int beside_gap = 12;

// A child window of a layout: its control id and where it lies.
struct UiChild {
  int id;
  UiBox box;
};
// The texts a layout paints besides its buttons, in reading order. Each box holds its text where
// the text can be seen, and overlaps nothing that repaints by itself (a button, the close glyph).
std::span<const UiChild> text_children(UiLayout layout);
// The buttons of a layout from top to bottom, which is also their Tab order.
std::vector<UiChild> button_children(UiLayout layout, bool with_alternate);

// The progress window's card and what it holds.
namespace progress_box {
inline constexpr UiBox card{28, 122, 472, 272};
inline constexpr UiBox accent_bar{29, 132, 32, 262};
inline constexpr UiBox stage_text{46, 142, 454, 166};
inline constexpr UiBox track{46, 182, 454, 192};
inline constexpr UiBox count_text{46, 210, 454, 238};
// Inside the card's border: what a timer tick repaints.
inline constexpr UiBox card_inside{29, 123, 471, 271};
}  // namespace progress_box

// The marquee: a segment of this width that moves this far along the track on every timer tick.
inline constexpr int marquee_width = 120;
inline constexpr int marquee_step = 12;

std::string_view progress_stage_text(ProgressStage stage);
// Decimal digits in groups of three from the right, separated by plain spaces: 12345 -> "12 345".
std::string group_thousands(uint64_t value);
// "Удалено файлов: 12 345".
std::string files_removed_text(uint64_t files);
// Pixels of a track filled for done of total: never more than the track, full only when all is done.
int determinate_fill_width(int track_width, uint64_t done, uint64_t total);
// The track's filled part for a snapshot: in proportion when the total is known, else the marquee
// segment at the given tick, which runs in from the left, out at the right and starts again.
UiBox progress_fill(const ProgressSnapshot& snapshot, uint32_t tick);

// Passes on a text that may change often, such as a count that assistive technology reads: the
// first at once, later ones no sooner than the interval after the last one passed on. A change
// that had to wait is passed on when offered again once its time has come.
class TextPacer {
 public:
  explicit TextPacer(uint64_t interval_ms) : interval_ms_(interval_ms) {}
  // The text to pass on now, if any.
  std::optional<std::string> offer(std::string_view text, uint64_t now_ms);

 private:
  uint64_t interval_ms_;
  std::optional<uint64_t> passed_at_;
  std::string passed_;
};
// How often the progress count is passed on; the stage is passed on at once.
inline constexpr uint64_t progress_count_text_interval_ms = 1000;

}  // namespace koravane
