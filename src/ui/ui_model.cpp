#include "ui/ui_model.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "platform/text/os_text.h"

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

namespace {

// x^2.4 through exp and log, which the system's C runtime has: a power function would be linked in.
double linear_channel(uint32_t value) {
  const double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::exp(2.4 * std::log((c + 0.055) / 1.055));
}

double relative_luminance(Colour colour) {
  return 0.2126 * linear_channel(colour & 0xFF) + 0.7152 * linear_channel((colour >> 8) & 0xFF) +
         0.0722 * linear_channel((colour >> 16) & 0xFF);
}

// Along one axis: centred, then pulled inside [low, high); the low edge wins when it cannot fit.
int place_along(int low, int high, int size, int centre) {
  const int start = centre - size / 2;
  return std::max(low, std::min(start, high - size));
}

// How much of [low, high) a window from start of the given size covers.
int overlap_along(int start, int size, int low, int high) {
  return std::max(0, std::min(start + size, high) - std::max(start, low));
}

}  // namespace

double contrast_ratio(Colour a, Colour b) {
  const double la = relative_luminance(a);
  const double lb = relative_luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour focus_frame_colour(Colour focus, const ButtonColours& button) {
  return contrast_ratio(focus, button.fill) >= focus_frame_min_contrast ? focus : button.text;
}

UiPlace place_within(const UiBox& work_area, int width, int height, UiPlace centre) {
  return {place_along(work_area.left, work_area.right, width, centre.x),
          place_along(work_area.top, work_area.bottom, height, centre.y)};
}

UiPlace place_beside(const UiBox& work_area, int width, int height, const UiBox& other) {
  // Along each axis: past the other window, centred on it, before it.
  const int xs[] = {other.right + beside_gap, other.left + (other.right - other.left - width) / 2,
                    other.left - beside_gap - width};
  const int ys[] = {other.bottom + beside_gap, other.top + (other.bottom - other.top - height) / 2,
                    other.top - beside_gap - height};
  // Right, below, left, above, then off its corners.
  static constexpr uint8_t order[][2] = {{0, 1}, {1, 0}, {2, 1}, {1, 2}, {0, 0}, {2, 0}, {2, 2}, {0, 2}};
  UiPlace best{};
  int64_t least = -1;
  for (const auto& [x, y] : order) {
    const UiPlace corner{place_along(work_area.left, work_area.right, width, xs[x] + width / 2),
                         place_along(work_area.top, work_area.bottom, height, ys[y] + height / 2)};
    const int64_t hidden = int64_t{overlap_along(corner.x, width, other.left, other.right)} *
                           overlap_along(corner.y, height, other.top, other.bottom);
    if (least < 0 || hidden < least) {
      best = corner;
      least = hidden;
    }
  }
  return best;
}

std::optional<UiResult> command_result(UiLayout layout, int control_id) {
  switch (control_id) {
    case ID_BUTTON_PRIMARY:
      return UiResult::primary;
    case ID_BUTTON_CANCEL:
      return UiResult::cancel;
    case ID_BUTTON_ALTERNATE:
      return UiResult::alternate;
    case ID_KEY_ESCAPE:
      if (layout != UiLayout::progress) return UiResult::cancel;
      break;
    case ID_KEY_ENTER:
      // In the dialog Enter chooses nothing: a removal is chosen by its own button only.
      if (layout == UiLayout::notice) return UiResult::primary;
      break;
    default:
      break;
  }
  return std::nullopt;
}

UiLook dark_look(bool removal_style) {
  const Palette palette = palette_for(removal_style);
  UiLook look{.background_top = ui_colour::background_top,
              .background_bottom = ui_colour::background_bottom,
              .frame = ui_colour::frame,
              .accent = palette.accent,
              .brand = palette.light_accent,
              .heading_text = ui_colour::heading_text,
              .body_text = ui_colour::body_text,
              .card_fill = ui_colour::card_fill,
              .card_border = palette.card_border,
              .close_normal = ui_colour::close_normal,
              .close_hover = ui_colour::close_hover,
              .focus_frame = ui_colour::focus_frame,
              .progress_track = ui_colour::progress_track,
              .progress_track_border = ui_colour::progress_track,
              .buttons = {}};
  for (ButtonStyle style : {ButtonStyle::primary, ButtonStyle::danger, ButtonStyle::secondary}) {
    for (bool pressed : {false, true}) {
      look.buttons[static_cast<int>(style)][pressed ? 1 : 0] = button_colours(style, removal_style, pressed);
    }
  }
  return look;
}

UiLook high_contrast_look(const SystemColours& system) {
  const ButtonColours normal{system.button_face, system.button_text, system.button_text};
  const ButtonColours pressed{system.highlight, system.button_text, system.highlight_text};
  return UiLook{.background_top = system.window,
                .background_bottom = system.window,
                .frame = system.window_text,
                .accent = system.highlight,
                .brand = system.window_text,
                .heading_text = system.window_text,
                .body_text = system.window_text,
                .card_fill = system.window,
                .card_border = system.window_text,
                .close_normal = system.window_text,
                .close_hover = system.highlight,
                .focus_frame = system.button_text,
                .progress_track = system.window,
                .progress_track_border = system.window_text,
                .buttons = {{normal, pressed}, {normal, pressed}, {normal, pressed}}};
}

std::span<const UiChild> text_children(UiLayout layout) {
  // The brand stops short of the close glyph, and the notice's body where its button begins.
  static constexpr UiBox brand{80, 24, close_glyph_box.left, 58};
  static constexpr UiBox heading{28, 78, 472, 112};
  static constexpr UiChild choice[] = {
      {ID_TEXT_BRAND, brand}, {ID_TEXT_HEADING, heading}, {ID_TEXT_BODY, {46, 136, 458, 216}}};
  static constexpr UiChild notice[] = {
      {ID_TEXT_BRAND, brand}, {ID_TEXT_HEADING, heading}, {ID_TEXT_BODY, {46, 136, 458, 210}}};
  static constexpr UiChild progress[] = {{ID_TEXT_BRAND, brand},
                                         {ID_TEXT_HEADING, heading},
                                         {ID_TEXT_STAGE, progress_box::stage_text},
                                         {ID_TEXT_COUNT, progress_box::count_text}};
  switch (layout) {
    case UiLayout::choice:
      return choice;
    case UiLayout::notice:
      return notice;
    case UiLayout::progress:
      break;
  }
  return progress;
}

std::vector<UiChild> button_children(UiLayout layout, bool with_alternate) {
  const auto at = [](int id, int top) {
    return UiChild{id, {button_left, top, button_left + button_width, top + button_height}};
  };
  switch (layout) {
    case UiLayout::choice:
      if (!with_alternate) return {at(ID_BUTTON_PRIMARY, 248), at(ID_BUTTON_CANCEL, 352)};
      return {at(ID_BUTTON_PRIMARY, 248), at(ID_BUTTON_ALTERNATE, 300), at(ID_BUTTON_CANCEL, 352)};
    case UiLayout::notice:
      return {at(ID_BUTTON_PRIMARY, 210)};
    case UiLayout::progress:
      break;
  }
  return {};
}

std::string prepare_notice_body(std::string_view message) {
  const std::u32string points = code_points(trim_white_space(message));
  if (points.size() <= notice_body_limit) return utf8_from_code_points(points);
  return utf8_from_code_points(std::u32string_view(points).substr(0, notice_body_limit)) + "\u2026";
}

std::string_view progress_stage_text(ProgressStage stage) {
  switch (stage) {
    case ProgressStage::closing_launcher:
      return "Закрываем лаунчер\u2026";
    case ProgressStage::removing_shortcuts:
      return "Удаляем ярлыки\u2026";
    case ProgressStage::removing_files:
      break;
  }
  return "Удаляем файлы\u2026";
}

std::string group_thousands(uint64_t value) {
  char text[32];  // 20 digits and 6 spaces at most
  char* first = std::end(text);
  for (int digits = 0; digits == 0 || value != 0; ++digits, value /= 10) {
    if (digits > 0 && digits % 3 == 0) *--first = ' ';
    *--first = static_cast<char>('0' + value % 10);
  }
  return std::string(first, std::end(text));
}

std::string files_removed_text(uint64_t files) {
  return std::string("Удалено файлов: ").append(group_thousands(files));
}

int determinate_fill_width(int track_width, uint64_t done, uint64_t total) {
  if (track_width <= 0 || total == 0) return 0;
  if (done >= total) return track_width;
  const uint64_t width = static_cast<uint64_t>(track_width);
  // Halve both until done * width cannot overflow; the ratio barely moves.
  while (total > std::numeric_limits<uint64_t>::max() / width) {
    done >>= 1;
    total >>= 1;
  }
  return static_cast<int>(std::min(done * width / total, width - 1));
}

std::optional<std::string> TextPacer::offer(std::string_view text, uint64_t now_ms) {
  if (passed_at_) {
    if (text == passed_) return std::nullopt;
    if (now_ms - *passed_at_ < interval_ms_) return std::nullopt;
  }
  passed_at_ = now_ms;
  passed_.assign(text);
  return passed_;
}

UiBox progress_fill(const ProgressSnapshot& snapshot, uint32_t tick) {
  const UiBox track = progress_box::track;
  const int width = track.right - track.left;
  if (snapshot.total != 0) {
    return {track.left, track.top, track.left + determinate_fill_width(width, snapshot.done, snapshot.total),
            track.bottom};
  }
  // The segment's right end, starting with the whole segment in view at the left.
  const uint64_t period = static_cast<uint64_t>(width + marquee_width);
  const int head = static_cast<int>((marquee_width + uint64_t{tick} * marquee_step) % period);
  return {track.left + std::max(head - marquee_width, 0), track.top, track.left + std::min(head, width),
          track.bottom};
}

}  // namespace koravane
