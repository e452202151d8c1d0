#include "ui/ui_model.h"

#include "platform/os_text.h"

namespace koravane {

Palette palette_for(bool removal_style) {
  if (removal_style) return {rgb(232, 120, 110), rgb(255, 160, 150), rgb(80, 40, 38)};
  return {rgb(201, 162, 84), rgb(232, 200, 120), rgb(70, 58, 36)};
}

ButtonStyle button_style_for(int control_id, bool removal_style) {
  if (control_id == ID_BUTTON_PRIMARY) return ButtonStyle::primary;
  if (control_id == ID_BUTTON_ALTERNATE && removal_style) return ButtonStyle::danger;
  return ButtonStyle::secondary;
}

ButtonColours button_colours(ButtonStyle style, bool removal_style, bool pressed) {
  constexpr Colour light_text = rgb(240, 242, 248);
  switch (style) {
    case ButtonStyle::primary: {
      const Palette palette = palette_for(removal_style);
      return {pressed ? palette.accent : palette.light_accent, palette.accent, rgb(18, 14, 10)};
    }
    case ButtonStyle::danger:
      return {pressed ? rgb(180, 70, 64) : rgb(210, 95, 88), rgb(120, 40, 36), light_text};
    case ButtonStyle::secondary:
      break;
  }
  return {pressed ? rgb(40, 48, 64) : rgb(28, 34, 48), rgb(70, 80, 100), light_text};
}

std::string prepare_notice_body(std::string_view message) {
  const std::u32string points = code_points(trim_white_space(message));
  if (points.size() <= notice_body_limit) return utf8_from_code_points(points);
  return utf8_from_code_points(std::u32string_view(points).substr(0, notice_body_limit)) + "\u2026";
}

}  // namespace koravane
