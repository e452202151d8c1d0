#include "ui/ui_window_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "platform/os_text_win.h"

namespace koravane {
namespace {

constexpr int button_left = 28;
constexpr int button_width = 428;
constexpr int button_height = 40;

UniqueGdiObject make_font(int height, int weight) {
  return UniqueGdiObject(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0,
                                     L"Segoe UI"));
}

HFONT font_of(const UniqueGdiObject& font) { return static_cast<HFONT>(font.get()); }

bool in_rect(const RECT& rect, int x, int y) {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

void fill_solid(HDC dc, const RECT& rect, Colour colour) {
  UniqueGdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void frame_solid(HDC dc, const RECT& rect, Colour colour) {
  UniqueGdiObject brush(CreateSolidBrush(colour));
  FrameRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void draw_text(HDC dc, const UniqueGdiObject& font, Colour colour, const std::wstring& text, RECT rect,
               UINT flags) {
  SelectObject(dc, font.get());
  SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), -1, &rect, flags);
}

void paint_window(HWND window, const UiWindowState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  const HGDIOBJ original_font = GetCurrentObject(dc, OBJ_FONT);
  RECT rc{};
  GetClientRect(window, &rc);
  const Palette palette = palette_for(state.removal_style);

  TRIVERTEX corners[2] = {{rc.left, rc.top, 0x0A00, 0x0C00, 0x1200, 0},
                          {rc.right, rc.bottom, 0x1200, 0x1600, 0x2000, 0}};
  GRADIENT_RECT mesh{0, 1};
  GdiGradientFill(dc, corners, 2, &mesh, 1, GRADIENT_FILL_RECT_V);

  fill_solid(dc, RECT{0, 0, rc.right, 3}, palette.accent);
  frame_solid(dc, rc, ui_colour::frame);
  SetBkMode(dc, TRANSPARENT);

  draw_text(dc, state.close_font, state.close_hover ? ui_colour::close_hover : ui_colour::close_normal,
            L"\u00D7", state.close_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (state.icon != nullptr) DrawIconEx(dc, 28, 22, state.icon, 40, 40, 0, nullptr, DI_NORMAL);
  draw_text(dc, state.brand_font, palette.light_accent, state.brand, RECT{80, 24, rc.right - 28, 58},
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  draw_text(dc, state.heading_font, ui_colour::heading_text, state.heading,
            RECT{28, 78, rc.right - 28, 112}, DT_WORDBREAK | DT_NOPREFIX);
  fill_round_rect(dc, RECT{28, 122, rc.right - 28, 228}, 12, ui_colour::card_fill, palette.card_border);
  fill_solid(dc, RECT{29, 132, 32, 218}, palette.accent);
  draw_text(dc, state.body_font, ui_colour::body_text, state.body, RECT{46, 136, rc.right - 42, 216},
            DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);

  SelectObject(dc, original_font);
  EndPaint(window, &paint);
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
    const HGDIOBJ previous = SelectObject(dc, state.button_font.get());
    SetTextColor(dc, colours.text);
    RECT rect = item.rcItem;
    DrawTextW(dc, label, length, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
  }
}

LRESULT hit_test(HWND window, LPARAM lparam) {
  POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  ScreenToClient(window, &point);
  CurrentWindowAccess access;
  UiWindowState* state = access.get();
  if (state == nullptr) return HTCLIENT;
  if (in_rect(state->close_rect, point.x, point.y)) return HTCLIENT;
  if (state->close_hover) {
    state->close_hover = false;
    InvalidateRect(window, &state->close_rect, FALSE);
  }
  return static_cast<uint32_t>(point.y) < ui_header_band_height ? HTCAPTION : HTCLIENT;
}

void track_hover(HWND window, LPARAM lparam) {
  CurrentWindowAccess access;
  UiWindowState* state = access.get();
  if (state == nullptr) return;
  const bool hover = in_rect(state->close_rect, static_cast<short>(LOWORD(lparam)),
                             static_cast<short>(HIWORD(lparam)));
  if (hover == state->close_hover) return;
  state->close_hover = hover;
  InvalidateRect(window, &state->close_rect, FALSE);
}

// Posted, not sent: the window goes only after the current handler has returned.
void answer(HWND window, UiWindowState& state, UiResult result) {
  state.result->exchange(static_cast<uint32_t>(result));
  PostMessageW(window, WM_CLOSE, 0, 0);
}

void handle_command(HWND window, WPARAM wparam) {
  const int id = LOWORD(wparam);
  if (id != ID_BUTTON_PRIMARY && id != ID_BUTTON_CANCEL && id != ID_BUTTON_ALTERNATE) return;
  CurrentWindowAccess access;
  if (access.get() == nullptr) return;
  const UiResult result = id == ID_BUTTON_PRIMARY  ? UiResult::primary
                          : id == ID_BUTTON_CANCEL ? UiResult::cancel
                                                   : UiResult::alternate;
  answer(window, *access.get(), result);
}

void handle_button_up(HWND window, LPARAM lparam) {
  CurrentWindowAccess access;
  UiWindowState* state = access.get();
  if (state == nullptr) return;
  if (in_rect(state->close_rect, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)))) {
    answer(window, *state, UiResult::cancel);
  }
}

void centre_on_primary_screen(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int32_t x = (GetSystemMetrics(SM_CXSCREEN) + rect.left - rect.right) / 2;
  const int32_t y = (GetSystemMetrics(SM_CYSCREEN) + rect.top - rect.bottom) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

void fill_round_rect(HDC dc, const RECT& rect, int corner, Colour fill, std::optional<Colour> border) {
  UniqueGdiObject brush(CreateSolidBrush(fill));
  UniqueGdiObject pen(CreatePen(PS_SOLID, 1, border.value_or(fill)));
  const HGDIOBJ previous_brush = SelectObject(dc, brush.get());
  const HGDIOBJ previous_pen = SelectObject(dc, pen.get());
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
  SelectObject(dc, previous_brush);
  SelectObject(dc, previous_pen);
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

UiWindowHandle create_ui_window(bool removal_style, std::string_view caption, std::string_view heading,
                                std::string_view body, UiLayout layout, std::string_view primary_label,
                                std::string_view cancel_label,
                                std::optional<std::string_view> alternate_label) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const wchar_t* class_name = removal_style ? L"KoraVaneUninstallUI" : L"KoraVaneUpdaterUI";

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

  const int height = ui_window_height(layout);
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, class_name, to_wide(caption).c_str(),
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                ui_window_width, height, nullptr, nullptr, instance, nullptr);

  auto state = std::make_unique<UiWindowState>();
  state->brand = L"KoraVane";
  state->heading = to_wide(heading);
  state->body = to_wide(body);
  state->result = make_result_cell();
  state->window = window;
  state->icon = icon;
  state->close_rect = ui_close_glyph_rect;
  state->removal_style = removal_style;
  state->layout = layout;
  if (window != nullptr) {
    SetWindowRgn(window, CreateRoundRectRgn(0, 0, ui_window_width + 1, height + 1, 14, 14), TRUE);
    state->brand_font = make_font(-28, 700);
    state->heading_font = make_font(-17, 600);
    state->body_font = make_font(-14, 400);
    state->button_font = make_font(-15, 600);
    state->close_font = make_font(-22, 400);
    HFONT button_font = font_of(state->button_font);
    if (layout == UiLayout::choice) {
      create_button(window, instance, primary_label, ID_BUTTON_PRIMARY, 248, button_font);
      if (alternate_label) create_button(window, instance, *alternate_label, ID_BUTTON_ALTERNATE, 300, button_font);
      create_button(window, instance, cancel_label, ID_BUTTON_CANCEL, 352, button_font);
    } else {
      create_button(window, instance, primary_label, ID_BUTTON_PRIMARY, height - 90, button_font);
    }
  }
  store_current_window(state.get());
  if (window != nullptr) centre_on_primary_screen(window);

  UiWindowHandle handle;
  handle.result = state->result;
  handle.window = window;
  handle.record = std::move(state);
  return handle;
}

LRESULT CALLBACK ui_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);  // ends the modal loop
    return 0;
  }
  if (message == WM_PAINT) {
    CurrentWindowAccess access;
    // Without a record, let the system validate the area so WM_PAINT does not repeat forever.
    if (access.get() == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    paint_window(window, *access.get());
    return 0;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // painting covers the whole client area
  if (message == WM_DRAWITEM) {
    CurrentWindowAccess access;
    if (access.get() != nullptr) draw_button(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam), *access.get());
    return 1;
  }
  if (message == WM_NCHITTEST) return hit_test(window, lparam);
  if (message == WM_COMMAND) {
    handle_command(window, wparam);
    return 0;
  }
  if (message == WM_MOUSEMOVE) {
    track_hover(window, lparam);
    return 0;
  }
  if (message == WM_LBUTTONUP) {
    handle_button_up(window, lparam);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace koravane
