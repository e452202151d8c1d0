#pragma once
// The custom-drawn, borderless, rounded window used by the removal-choice dialog, the progress
// window and the notice.
#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ui/ui_model.h"
#include "ui/ui_state_win.h"

namespace koravane {

// The classes of the removal's windows (the dialog, the progress window) and of the notices.
inline constexpr const wchar_t* ui_removal_class = L"KoraVaneUninstallUI";
inline constexpr const wchar_t* ui_notice_class = L"KoraVaneUpdaterUI";

inline constexpr int ui_window_width = 500;
inline constexpr int ui_header_band_height = 56;
inline constexpr RECT ui_close_glyph_rect{close_glyph_box.left, close_glyph_box.top, close_glyph_box.right,
                                          close_glyph_box.bottom};

// Posted by the progress window's worker when the work has returned.
inline constexpr UINT ui_work_done_message = WM_APP + 1;
// Sent to a dialog with a new explanation to show (lparam: a std::string of UTF-8 text that
// outlives the window).
inline constexpr UINT ui_body_text_message = WM_APP + 2;
// A message no one posts, asked for to let the system see the thread idle.
inline constexpr UINT ui_never_posted = WM_APP + 0x3FFF;
// The progress window's redraw timer.
inline constexpr UINT_PTR ui_progress_timer = 1;
inline constexpr UINT ui_progress_interval_ms = 100;

constexpr int ui_window_height(UiLayout layout) { return layout == UiLayout::choice ? 500 : 300; }

// What one custom window shows. The caption goes to the taskbar only; the brand is always drawn.
struct UiWindowSetup {
  bool removal_style = false;  // removal palette and class "KoraVaneUninstallUI"
  std::string_view caption;
  std::string_view heading;
  std::string_view body;  // unused by the progress layout, whose card shows the work
  // When given, the body's forms from the longest: the first that shows whole as the window paints
  // it is shown in place of `body`, else the last.
  std::span<const std::string> body_forms;
  UiLayout layout = UiLayout::choice;
  std::string_view primary_label;                    // choice and notice
  std::string_view cancel_label;                     // choice only
  std::optional<std::string_view> alternate_label;  // choice only, when given
  // Where it appears: where the closed window it replaces stands (centred on it; that window goes
  // once this one shows), beside a window of another run (not over it), else on the primary
  // screen's centre; wholly within the work area either way.
  ClosedWindow* replaces = nullptr;
  std::optional<UiBox> beside;
  // The progress layout: what its card shows, read on the window's thread.
  const std::function<ProgressSnapshot()>* read_progress = nullptr;
};

// Creates the window hidden at its place, paints it and only then shows it, over the window it
// replaces, which then goes; the caller then runs run_modal. If the main window cannot be created,
// the handle carries a null window (the loop returns at once) and the result stays none.
UiWindowHandle create_ui_window(const UiWindowSetup& setup);

// Whether text, wrapped as the layout's body is painted on `dc` (the body's own, or the screen's),
// shows whole where its body can be seen: no word wider than the body and no line below it.
// Measured on the DC itself and on a memory DC made from it, on which the body is painted, so that
// it holds at whatever scale the system paints the window.
bool body_fits(HDC dc, UiLayout layout, std::string_view text);

void create_button(HWND parent, HINSTANCE instance, std::string_view label, int control_id, int top,
                   HFONT font);

// One rounded rectangle; without a border colour the outline takes the fill colour.
void fill_round_rect(HDC dc, const RECT& rect, int corner, Colour fill, std::optional<Colour> border);

LRESULT CALLBACK ui_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace koravane
