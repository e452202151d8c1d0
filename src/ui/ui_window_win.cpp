#include "ui/ui_window_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "platform/os_text_win.h"

namespace koravane {
namespace {

constexpr int button_left = 28;
constexpr int button_width = 428;
constexpr int button_height = 40;

UniqueFont make_font(int height, int weight) {
  return UniqueFont(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, L"Segoe UI"));
}

bool in_rect(const RECT& rect, int x, int y) {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

void fill_solid(HDC dc, const RECT& rect, Colour colour) {
  const UniqueBrush brush(CreateSolidBrush(colour));
  FillRect(dc, &rect, brush.get());
}

void frame_solid(HDC dc, const RECT& rect, Colour colour) {
  const UniqueBrush brush(CreateSolidBrush(colour));
  FrameRect(dc, &rect, brush.get());
}

void draw_text(HDC dc, const UniqueFont& font, Colour colour, const std::wstring& text, RECT rect,
               UINT flags) {
  const SelectionGuard selected(dc, font.get());
  SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), -1, &rect, flags);
}

RECT as_rect(const UiBox& box) { return RECT{box.left, box.top, box.right, box.bottom}; }

// The stage, the bar and the count inside the progress window's card.
void draw_progress(HDC dc, const UiWindowState& state, const Palette& palette) {
  draw_text(dc, state.body_font, ui_colour::body_text, to_wide(progress_stage_text(state.progress.stage)),
            as_rect(progress_box::stage_text), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  const RECT track = as_rect(progress_box::track);
  const int round = track.bottom - track.top;
  fill_round_rect(dc, track, round, ui_colour::progress_track, std::nullopt);
  const RECT fill = as_rect(progress_fill(state.progress, state.marquee_tick));
  if (fill.right > fill.left) fill_round_rect(dc, fill, round, palette.accent, std::nullopt);
  const std::wstring count = to_wide(files_removed_text(state.progress.files_removed));
  draw_text(dc, state.button_font, ui_colour::heading_text, count, as_rect(progress_box::count_text),
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void draw_window(HDC dc, const RECT& rc, const UiWindowState& state) {
  const Palette palette = palette_for(state.removal_style);
  const bool progress = state.layout == UiLayout::progress;

  TRIVERTEX corners[2] = {{rc.left, rc.top, 0x0A00, 0x0C00, 0x1200, 0},
                          {rc.right, rc.bottom, 0x1200, 0x1600, 0x2000, 0}};
  GRADIENT_RECT mesh{0, 1};
  GdiGradientFill(dc, corners, 2, &mesh, 1, GRADIENT_FILL_RECT_V);

  fill_solid(dc, RECT{0, 0, rc.right, 3}, palette.accent);
  frame_solid(dc, rc, ui_colour::frame);
  SetBkMode(dc, TRANSPARENT);

  if (!progress) {  // nothing may close the progress window while the work runs
    draw_text(dc, state.close_font, state.close_hover ? ui_colour::close_hover : ui_colour::close_normal,
              L"\u00D7", state.close_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (state.icon != nullptr) DrawIconEx(dc, 28, 22, state.icon, 40, 40, 0, nullptr, DI_NORMAL);
  draw_text(dc, state.brand_font, palette.light_accent, state.brand, RECT{80, 24, rc.right - 28, 58},
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  draw_text(dc, state.heading_font, ui_colour::heading_text, state.heading,
            RECT{28, 78, rc.right - 28, 112}, DT_WORDBREAK | DT_NOPREFIX);
  const RECT card = progress ? as_rect(progress_box::card) : RECT{28, 122, rc.right - 28, 228};
  fill_round_rect(dc, card, 12, ui_colour::card_fill, palette.card_border);
  fill_solid(dc, RECT{29, card.top + 10, 32, card.bottom - 10}, palette.accent);
  if (progress) {
    draw_progress(dc, state, palette);
  } else {
    draw_text(dc, state.body_font, ui_colour::body_text, state.body, RECT{46, 136, rc.right - 42, 216},
              DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
}

void paint_window(HWND window, const UiWindowState& state) {
  const PaintGuard paint(window);
  HDC dc = paint.dc();
  RECT rc{};
  GetClientRect(window, &rc);
  if (state.layout == UiLayout::progress) {
    // Drawn off screen and copied at once, so the card does not flicker on every timer tick.
    // Declared in this order, the bitmap is let go of before the memory DC and then deleted.
    const UniqueBitmap bitmap(CreateCompatibleBitmap(dc, rc.right, rc.bottom));
    const UniqueMemoryDc memory(CreateCompatibleDC(dc));
    const SelectionGuard selected(memory.get(), bitmap.get());
    draw_window(memory.get(), rc, state);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, memory.get(), 0, 0, SRCCOPY);
  } else {
    draw_window(dc, rc, state);
  }
}

void draw_button(const DRAWITEMSTRUCT& item, const UiWindowState& state) {
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const ButtonColours colours =
      button_colours(button_style_for(static_cast<int>(item.CtlID), state.removal_style),
                     state.removal_style, pressed);
  HDC dc = item.hDC;
  // The corners outside the rounded shape match the bottom of the window gradient.
  fill_solid(dc, item.rcItem, ui_colour::background_bottom);
  fill_round_rect(dc, item.rcItem, 10, colours.fill, colours.border);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -3, -3);
    frame_solid(dc, focus, ui_colour::focus_frame);
  }
  wchar_t label[128] = {};
  const int length = GetWindowTextW(item.hwndItem, label, 128);
  if (length > 0) {
    SetBkMode(dc, TRANSPARENT);
    const SelectionGuard selected(dc, state.button_font.get());
    SetTextColor(dc, colours.text);
    RECT rect = item.rcItem;
    DrawTextW(dc, label, length, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
}

LRESULT hit_test(HWND window, UiWindowState* state, LPARAM lparam) {
  POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  ScreenToClient(window, &point);
  if (state == nullptr) return HTCLIENT;
  if (in_rect(state->close_rect, point.x, point.y)) return HTCLIENT;
  if (state->close_hover) {
    state->close_hover = false;
    InvalidateRect(window, &state->close_rect, FALSE);
  }
  return static_cast<uint32_t>(point.y) < ui_header_band_height ? HTCAPTION : HTCLIENT;
}

void track_hover(HWND window, UiWindowState* state, LPARAM lparam) {
  if (state == nullptr) return;
  const bool hover = in_rect(state->close_rect, static_cast<short>(LOWORD(lparam)),
                             static_cast<short>(HIWORD(lparam)));
  if (hover == state->close_hover) return;
  state->close_hover = hover;
  InvalidateRect(window, &state->close_rect, FALSE);
}

// Posted, not sent: the window goes only after the current handler has returned.
void answer(HWND window, UiWindowState& state, UiResult result) {
  state.result = result;
  PostMessageW(window, WM_CLOSE, 0, 0);
}

void handle_command(HWND window, UiWindowState* state, WPARAM wparam) {
  const int id = LOWORD(wparam);
  if (id != ID_BUTTON_PRIMARY && id != ID_BUTTON_CANCEL && id != ID_BUTTON_ALTERNATE) return;
  if (state == nullptr) return;
  const UiResult result = id == ID_BUTTON_PRIMARY  ? UiResult::primary
                          : id == ID_BUTTON_CANCEL ? UiResult::cancel
                                                   : UiResult::alternate;
  answer(window, *state, result);
}

void handle_button_up(HWND window, UiWindowState* state, LPARAM lparam) {
  if (state == nullptr) return;
  if (in_rect(state->close_rect, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)))) {
    answer(window, *state, UiResult::cancel);
  }
}

// Centred on the given centre, or on the primary screen.
void place_window(HWND window, std::optional<UiPlace> centre) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int32_t x = centre ? centre->x - (rect.right - rect.left) / 2
                           : (GetSystemMetrics(SM_CXSCREEN) + rect.left - rect.right) / 2;
  const int32_t y = centre ? centre->y - (rect.bottom - rect.top) / 2
                           : (GetSystemMetrics(SM_CYSCREEN) + rect.top - rect.bottom) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

UiPlace centre_of(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

// A timer tick: repaint the card's inside when the counts changed or the marquee must move on.
void refresh_progress(HWND window, UiWindowState& state) {
  if (state.read_progress == nullptr) return;
  const ProgressSnapshot now = (*state.read_progress)();
  if (now == state.progress && now.total != 0) return;
  state.progress = now;
  if (now.total == 0) ++state.marquee_tick;
  const RECT inside = as_rect(progress_box::card_inside);
  InvalidateRect(window, &inside, FALSE);
}

}  // namespace

void fill_round_rect(HDC dc, const RECT& rect, int corner, Colour fill, std::optional<Colour> border) {
  const UniqueBrush brush(CreateSolidBrush(fill));
  const UniquePen pen(CreatePen(PS_SOLID, 1, border.value_or(fill)));
  const SelectionGuard brush_selected(dc, brush.get());
  const SelectionGuard pen_selected(dc, pen.get());
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

void create_button(HWND parent, HINSTANCE instance, std::string_view label, int control_id, int top,
                   HFONT font) {
  HWND button = CreateWindowExW(0, L"BUTTON", to_wide(label).c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, button_left, top,
                                button_width, button_height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), instance, nullptr);
  SetWindowTheme(button, L"", L"");  // visual styles off: the owner draws every pixel
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

UiWindowHandle create_ui_window(const UiWindowSetup& setup) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const wchar_t* class_name = setup.removal_style ? L"KoraVaneUninstallUI" : L"KoraVaneUpdaterUI";

  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = ui_window_proc;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // Lives as long as the class, that is until exit.
  window_class.hbrBackground = CreateSolidBrush(ui_colour::background_top);
  window_class.lpszClassName = class_name;
  RegisterClassW(&window_class);  // an existing registration of a second window is reused

  // Complete before the window exists: its first messages find the record through its user data.
  auto state = std::make_unique<UiWindowState>();
  state->brand = L"KoraVane";
  state->heading = to_wide(setup.heading);
  state->body = to_wide(setup.body);
  state->icon = icon;
  if (setup.layout != UiLayout::progress) state->close_rect = ui_close_glyph_rect;
  state->removal_style = setup.removal_style;
  state->layout = setup.layout;
  state->brand_font = make_font(-28, 700);
  state->heading_font = make_font(-17, 600);
  state->body_font = make_font(-14, 400);
  state->button_font = make_font(-15, 600);
  state->close_font = make_font(-22, 400);

  const int height = ui_window_height(setup.layout);
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, class_name, to_wide(setup.caption).c_str(),
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                ui_window_width, height, nullptr, nullptr, instance, state.get());
  if (window != nullptr) {
    // The window owns the region once it has taken it.
    UniqueRegion region(CreateRoundRectRgn(0, 0, ui_window_width + 1, height + 1, 14, 14));
    if (SetWindowRgn(window, region.get(), TRUE)) region.release();
    HFONT button_font = state->button_font.get();
    if (setup.layout == UiLayout::choice) {
      create_button(window, instance, setup.primary_label, ID_BUTTON_PRIMARY, 248, button_font);
      if (setup.alternate_label) {
        create_button(window, instance, *setup.alternate_label, ID_BUTTON_ALTERNATE, 300, button_font);
      }
      create_button(window, instance, setup.cancel_label, ID_BUTTON_CANCEL, 352, button_font);
    } else if (setup.layout == UiLayout::notice) {
      create_button(window, instance, setup.primary_label, ID_BUTTON_PRIMARY, height - 90, button_font);
    }
    place_window(window, setup.centre);
  }
  return UiWindowHandle{std::move(state), window};
}

LRESULT CALLBACK ui_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* record = static_cast<UiWindowState*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    record->window = window;
    attach_window_state(window, record);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  UiWindowState* state = window_state(window);
  if (message == WM_NCDESTROY && state != nullptr) {
    // The window's last message: from here on the record no longer names it.
    state->window = nullptr;
    attach_window_state(window, nullptr);
  }
  if (message == WM_DESTROY) {
    if (state != nullptr) state->closed_at = centre_of(window);
    PostQuitMessage(0);  // ends the modal loop
    return 0;
  }
  if (message == WM_PAINT) {
    // Without a record, let the system validate the area so WM_PAINT does not repeat forever.
    if (state == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    paint_window(window, *state);
    return 0;
  }
  if (message == WM_CLOSE) {
    // While the work runs nothing closes the progress window: not Alt+F4, not another program.
    if (state == nullptr || !state->work_running) DestroyWindow(window);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // painting covers the whole client area
  if (message == WM_DRAWITEM) {
    if (state != nullptr) draw_button(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam), *state);
    return 1;
  }
  if (message == WM_NCHITTEST) return hit_test(window, state, lparam);
  if (message == WM_COMMAND) {
    handle_command(window, state, wparam);
    return 0;
  }
  if (message == WM_MOUSEMOVE) {
    track_hover(window, state, lparam);
    return 0;
  }
  if (message == WM_LBUTTONUP) {
    handle_button_up(window, state, lparam);
    return 0;
  }
  if (message == WM_TIMER && wparam == ui_progress_timer) {
    if (state != nullptr) refresh_progress(window, *state);
    return 0;
  }
  if (message == ui_work_done_message) {
    if (state != nullptr) state->work_running = false;
    KillTimer(window, ui_progress_timer);
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace koravane
