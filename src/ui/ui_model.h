#pragma once
// What the custom window shows and answers, independent of Win32: result values, layouts,
// control ids, colours, the button style table and the notice body rule.
#include <cstdint>
#include <string>
#include <string_view>

namespace koravane {

// The answer of a custom window: an unsigned 32-bit value, none until a button or the glyph answers.
enum class UiResult : uint32_t { none = 0, primary = 1, cancel = 2, alternate = 3 };

// choice 500 x 500 with up to three buttons; notice 500 x 300 with one; progress 500 x 300 with none.
enum class UiLayout : uint8_t { choice, notice, progress };

inline constexpr int ID_BUTTON_PRIMARY = 1001;
inline constexpr int ID_BUTTON_CANCEL = 1002;
inline constexpr int ID_BUTTON_ALTERNATE = 1003;

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


}  // namespace koravane
