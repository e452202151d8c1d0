#pragma once
// What the custom window shows and answers, independent of Win32: result values, layouts,
// control ids, colours, the button style table and the notice body rule.
#include <cstdint>
#include <string>
#include <string_view>

namespace koravane {

// The answer of a custom window; an unsigned 32-bit value shared through an atomic cell.
enum class UiResult : uint32_t { none = 0, primary = 1, cancel = 2, alternate = 3 };

enum class UiLayout : uint8_t { choice, notice };

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

}  // namespace koravane
