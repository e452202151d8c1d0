#pragma once
// The custom-drawn, borderless, rounded window used by the removal-choice dialog and the notice.
#include <windows.h>

#include <optional>
#include <string_view>

#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

inline constexpr int ui_window_width = 500;
inline constexpr int ui_header_band_height = 56;
inline constexpr RECT ui_close_glyph_rect{454, 10, 490, 46};

constexpr int ui_window_height(UiLayout layout) { return layout == UiLayout::notice ? 300 : 500; }

// Creates, shows, centres and registers the window; the caller then runs run_message_loop and
// release_ui_window. If the main window cannot be created, the handle carries a null window
// (the loop returns at once) and the result stays none.
UiWindowHandle create_ui_window(bool removal_style, std::string_view caption, std::string_view heading,
                                std::string_view body, UiLayout layout, std::string_view primary_label,
                                std::string_view cancel_label,
                                std::optional<std::string_view> alternate_label);

void create_button(HWND parent, HINSTANCE instance, std::string_view label, int control_id, int top,
                   HFONT font);

// One rounded rectangle; without a border colour the outline takes the fill colour.
void fill_round_rect(HDC dc, const RECT& rect, int corner, Colour fill, std::optional<Colour> border);

LRESULT CALLBACK ui_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace koravane
