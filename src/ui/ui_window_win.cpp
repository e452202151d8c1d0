#include "ui/ui_window_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "platform/text/os_text_win.h"

namespace koravane {
namespace {

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

TRIVERTEX vertex(LONG x, LONG y, Colour colour) {
  return {x, y, static_cast<COLOR16>(GetRValue(colour) << 8), static_cast<COLOR16>(GetGValue(colour) << 8),
          static_cast<COLOR16>(GetBValue(colour) << 8), 0};
}

bool high_contrast_on() {
  HIGHCONTRASTW contrast{sizeof(contrast), 0, nullptr};
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != 0 &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

UiLook look_for(bool removal_style) {
  if (!high_contrast_on()) return dark_look(removal_style);
  return high_contrast_look({GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE),
                             GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_HIGHLIGHT),
                             GetSysColor(COLOR_HIGHLIGHTTEXT)});
}

// The stage, the bar and the count inside the progress window's card.
void draw_progress(HDC dc, const UiWindowState& state) {
  const UiLook& look = state.look;
  draw_text(dc, state.body_font, look.body_text, to_wide(progress_stage_text(state.progress.stage)),
            as_rect(progress_box::stage_text), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  const RECT track = as_rect(progress_box::track);
  const int round = track.bottom - track.top;
  fill_round_rect(dc, track, round, look.progress_track, look.progress_track_border);
  const RECT fill = as_rect(progress_fill(state.progress, state.marquee_tick));
  if (fill.right > fill.left) fill_round_rect(dc, fill, round, look.accent, std::nullopt);
  const std::wstring count = to_wide(files_removed_text(state.progress.files_removed));
  draw_text(dc, state.button_font, look.heading_text, count, as_rect(progress_box::count_text),
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void draw_window(HDC dc, const RECT& rc, const UiWindowState& state) {
  const UiLook& look = state.look;
  const bool progress = state.layout == UiLayout::progress;

  TRIVERTEX corners[2] = {vertex(rc.left, rc.top, look.background_top),
                          vertex(rc.right, rc.bottom, look.background_bottom)};
  GRADIENT_RECT mesh{0, 1};
  GdiGradientFill(dc, corners, 2, &mesh, 1, GRADIENT_FILL_RECT_V);

  fill_solid(dc, RECT{0, 0, rc.right, 3}, look.accent);
  frame_solid(dc, rc, look.frame);
  SetBkMode(dc, TRANSPARENT);

  if (!progress) {  // nothing may close the progress window while the work runs
    draw_text(dc, state.close_font, state.close_hover ? look.close_hover : look.close_normal, L"\u00D7",
              state.close_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (state.icon != nullptr) DrawIconEx(dc, 28, 22, state.icon, 40, 40, 0, nullptr, DI_NORMAL);
  draw_text(dc, state.brand_font, look.brand, state.brand, RECT{80, 24, rc.right - 28, 58},
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  draw_text(dc, state.heading_font, look.heading_text, state.heading, RECT{28, 78, rc.right - 28, 112},
            DT_WORDBREAK | DT_NOPREFIX);
  const RECT card = progress ? as_rect(progress_box::card) : RECT{28, 122, rc.right - 28, 228};
  fill_round_rect(dc, card, 12, look.card_fill, look.card_border);
  fill_solid(dc, RECT{29, card.top + 10, 32, card.bottom - 10}, look.accent);
  if (progress) {
    draw_progress(dc, state);
  } else {
    draw_text(dc, state.body_font, look.body_text, state.body, RECT{46, 136, rc.right - 42, 216},
              DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
}

// Draws `part` of the window's picture (client coordinates) at dc's origin: the whole picture is
// drawn as the window would paint it, clipped to the part, so a child window holding a text shows
// exactly the pixels the window would show there. Off screen first, so a repaint does not flicker.
void draw_part(HDC dc, HWND window, const UiWindowState& state, const RECT& part) {
  RECT client{};
  GetClientRect(window, &client);
  const int width = part.right - part.left;
  const int height = part.bottom - part.top;
  // Declared in this order, the bitmap is let go of before the memory DC and then deleted.
  const UniqueBitmap bitmap(CreateCompatibleBitmap(dc, width, height));
  const UniqueMemoryDc memory(CreateCompatibleDC(dc));
  const SelectionGuard selected(memory.get(), bitmap.get());
  SetViewportOrgEx(memory.get(), -part.left, -part.top, nullptr);
  draw_window(memory.get(), client, state);
  SetViewportOrgEx(memory.get(), 0, 0, nullptr);
  BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

void paint_window(HWND window, UiWindowState& state) {
  // From its first painting on, a person can see the window: input that begins now counts.
  state.input.shown(GetTickCount(), last_press_seen(), GetDoubleClickTime());
  const PaintGuard paint(window);
  HDC dc = paint.dc();
  RECT rc{};
  GetClientRect(window, &rc);
  // The progress window's card changes on every timer tick: drawn off screen and copied at once.
  if (state.layout == UiLayout::progress) {
    draw_part(dc, window, state, rc);
  } else {
    draw_window(dc, rc, state);
  }
}

// Wine drops what a window painted before it was on the screen and shows it again only once the
// window's loop runs. Copied onto itself (the children's pixels too) and handed over, which Wine does
// when its thread finds no message, the picture shows at once. Elsewhere this changes nothing.
void hand_over_picture(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  const WindowDcGuard dc(window, DCX_CACHE);
  BitBlt(dc.dc(), 0, 0, rect.right, rect.bottom, dc.dc(), 0, 0, SRCCOPY);
  MSG none{};
  (void)PeekMessageW(&none, window, ui_never_posted, ui_never_posted, PM_NOREMOVE);  // finds nothing
}

// Shown only once it is placed and whole. A layered window stays off the screen, however visible,
// until its attributes are set: it is painted first, then given full opacity, which shows it.
void show_painted(HWND window) {
  ShowWindow(window, SW_SHOW);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
  hand_over_picture(window);
}

// A child holding a text shows the window's picture under it.
void draw_text_child(HWND window, const DRAWITEMSTRUCT& item, const UiWindowState& state) {
  RECT part = item.rcItem;
  MapWindowPoints(item.hwndItem, window, reinterpret_cast<POINT*>(&part), 2);
  draw_part(item.hDC, window, state, part);
}

// A focus frame shows once the keyboard has been used, as on the system's own dialogs.
bool focus_frame_hidden(const DRAWITEMSTRUCT& item, const UiWindowState& state) {
  if ((item.itemState & ODS_NOFOCUSRECT) != 0) return true;
  if (state.system_focus_cues) return (SendMessageW(item.hwndItem, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
  return state.focus_cues_hidden;
}

void draw_button(const DRAWITEMSTRUCT& item, const UiWindowState& state) {
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const ButtonColours& colours =
      state.look.button(button_style_for(static_cast<int>(item.CtlID), state.removal_style), pressed);
  HDC dc = item.hDC;
  // The corners outside the rounded shape match the bottom of the window gradient.
  fill_solid(dc, item.rcItem, state.look.background_bottom);
  fill_round_rect(dc, item.rcItem, 10, colours.fill, colours.border);
  if ((item.itemState & ODS_FOCUS) != 0 && !focus_frame_hidden(item, state)) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -3, -3);
    frame_solid(dc, focus, focus_frame_colour(state.look.focus_frame, colours));
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

void close_window(UiWindowState& state) {
  state.closed = true;
  state.read_progress = nullptr;  // what it reads may go before the window does
  PostQuitMessage(0);             // ends the modal loop
}

// Posted, not sent: the window goes only after the current handler has returned.
void answer(HWND window, UiWindowState& state, UiResult result) {
  state.result = result;
  PostMessageW(window, WM_CLOSE, 0, 0);
}

void handle_command(HWND window, UiWindowState* state, WPARAM wparam) {
  if (state == nullptr) return;
  if (const std::optional<UiResult> result = command_result(state->layout, LOWORD(wparam))) {
    answer(window, *state, *result);
  }
}

void handle_button_up(HWND window, UiWindowState* state, LPARAM lparam) {
  if (state == nullptr) return;
  if (in_rect(state->close_rect, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)))) {
    answer(window, *state, UiResult::cancel);
  }
}

// The work area (the screen without the taskbar) of the monitor that holds point.
UiBox work_area_at(UiPlace point) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  RECT work{};
  if (GetMonitorInfoW(MonitorFromPoint(POINT{point.x, point.y}, MONITOR_DEFAULTTONEAREST), &monitor)) {
    work = monitor.rcWork;
  } else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return {work.left, work.top, work.right, work.bottom};
}

// Where a window of this size appears (see UiWindowSetup), wholly within the work area there.
UiPlace place_for(const UiWindowSetup& setup, int width, int height) {
  if (setup.beside) {
    const UiBox& other = *setup.beside;
    const UiPlace middle{other.left + (other.right - other.left) / 2, other.top + (other.bottom - other.top) / 2};
    return place_beside(work_area_at(middle), width, height, other);
  }
  const std::optional<UiPlace> centre = setup.replaces != nullptr ? setup.replaces->centre() : std::nullopt;
  const UiPlace middle = centre.value_or(UiPlace{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2});
  return place_within(work_area_at(middle), width, height, middle);
}

void set_child_text(HWND window, int id, std::string_view text) {
  SetWindowTextW(GetDlgItem(window, id), to_wide(text).c_str());
}

void invalidate_child(HWND window, int id) { InvalidateRect(GetDlgItem(window, id), nullptr, FALSE); }

// Hands the stage and the count on to the window tree: the stage at once, the count no more
// often than a screen reader can follow.
void pass_on_progress_texts(HWND window, UiWindowState& state) {
  const uint64_t now = GetTickCount64();
  if (const auto stage = state.stage_text.offer(progress_stage_text(state.progress.stage), now)) {
    set_child_text(window, ID_TEXT_STAGE, *stage);
  }
  if (const auto count = state.count_text.offer(files_removed_text(state.progress.files_removed), now)) {
    set_child_text(window, ID_TEXT_COUNT, *count);
  }
}

// A timer tick: repaint what changed of the card (or the marquee, which moves on), and pass the
// texts on when their time has come.
void refresh_progress(HWND window, UiWindowState& state) {
  if (state.read_progress == nullptr) return;
  const ProgressSnapshot now = (*state.read_progress)();
  if (now.stage != state.progress.stage) invalidate_child(window, ID_TEXT_STAGE);
  if (now.files_removed != state.progress.files_removed) invalidate_child(window, ID_TEXT_COUNT);
  if (now != state.progress || now.total == 0) {
    state.progress = now;
    if (now.total == 0) ++state.marquee_tick;
    const RECT inside = as_rect(progress_box::card_inside);
    InvalidateRect(window, &inside, FALSE);
  }
  pass_on_progress_texts(window, state);
}

// A new explanation: painted, and handed on to the window tree.
void show_body(HWND window, UiWindowState& state, std::string_view body) {
  state.body = to_wide(body);
  set_child_text(window, ID_TEXT_BODY, body);
  const RECT card{28, 122, ui_window_width - 28, 228};
  InvalidateRect(window, &card, FALSE);
  invalidate_child(window, ID_TEXT_BODY);
}

std::string_view label_for(const UiWindowSetup& setup, int id) {
  if (id == ID_BUTTON_ALTERNATE) return setup.alternate_label.value_or("");
  return id == ID_BUTTON_CANCEL ? setup.cancel_label : setup.primary_label;
}

const std::wstring& fixed_text(const UiWindowState& state, int id) {
  return id == ID_TEXT_BRAND ? state.brand : id == ID_TEXT_HEADING ? state.heading : state.body;
}

// The texts first, then the buttons: creation order is reading order and Tab order. A text is an
// owner-drawn static: no mouse input of its own (the header still drags), no prefix characters.
void create_children(HWND window, HINSTANCE instance, const UiWindowSetup& setup, UiWindowState& state) {
  for (const UiChild& child : text_children(setup.layout)) {
    const bool progress_text = child.id == ID_TEXT_STAGE || child.id == ID_TEXT_COUNT;
    const UiBox& box = child.box;
    CreateWindowExW(0, L"STATIC", progress_text ? L"" : fixed_text(state, child.id).c_str(),
                    WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOPREFIX, box.left, box.top, box.right - box.left,
                    box.bottom - box.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(child.id)),
                    instance, nullptr);
  }
  for (const UiChild& button : button_children(setup.layout, setup.alternate_label.has_value())) {
    create_button(window, instance, label_for(setup, button.id), button.id, button.box.top,
                  state.button_font.get());
  }
  if (setup.layout == UiLayout::progress) pass_on_progress_texts(window, state);
}

// The longest of the body's forms that shows whole, measured on the body's own DC (the window is
// made but hidden), else the shortest.
void show_fitting_body(HWND window, UiWindowState& state, std::span<const std::string> forms) {
  HWND child = GetDlgItem(window, ID_TEXT_BODY);
  const WindowDcGuard dc(child);
  const auto fits = std::find_if(forms.begin(), forms.end(), [&](const std::string& body) {
    return dc.dc() != nullptr && body_fits(dc.dc(), state.layout, body);
  });
  const std::string& body = fits != forms.end() ? *fits : forms.back();
  state.body = to_wide(body);
  SetWindowTextW(child, state.body.c_str());
}

// A dialog opened with the mouse shows no focus frame until the keyboard is used. Where the system
// keeps that state for its windows, it decides as for its own dialogs (by the last input and the
// user's setting); where it keeps none (Wine 8), the window keeps it: hidden until Tab.
void initialise_focus_cues(HWND window, UiWindowState& state) {
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  state.system_focus_cues = (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
  if (state.system_focus_cues) SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS), 0);
}

// Keeps the window's own focus-cue state, for systems that keep none.
void note_focus_cues(HWND window, UiWindowState& state, WPARAM wparam) {
  if (state.system_focus_cues || (HIWORD(wparam) & UISF_HIDEFOCUS) == 0) return;
  const WORD action = LOWORD(wparam);
  if (action != UIS_SET && action != UIS_CLEAR) return;
  const bool hidden = action == UIS_SET;
  if (hidden == state.focus_cues_hidden) return;
  state.focus_cues_hidden = hidden;
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(window, focus)) InvalidateRect(focus, nullptr, FALSE);
}

// Like a dialog, the window gives the focus back to the control that had it when it was
// deactivated, or to the first choice; without buttons the window keeps it.
bool restore_focus(HWND window, const UiWindowState& state) {
  HWND control = state.focused_control != nullptr ? state.focused_control : GetDlgItem(window, ID_BUTTON_PRIMARY);
  if (control == nullptr) return false;
  SetFocus(control);
  return true;
}

bool handle_activation(HWND window, UiWindowState& state, WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus)) state.focused_control = focus;
    return false;
  }
  return HIWORD(wparam) == 0 && restore_focus(window, state);  // not while minimised
}

// High contrast switched on or off, or the system's colours changed, while the window is open.
void follow_system_colours(HWND window, UiWindowState& state) {
  state.look = look_for(state.removal_style);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace

void fill_round_rect(HDC dc, const RECT& rect, int corner, Colour fill, std::optional<Colour> border) {
  const UniqueBrush brush(CreateSolidBrush(fill));
  const UniquePen pen(CreatePen(PS_SOLID, 1, border.value_or(fill)));
  const SelectionGuard brush_selected(dc, brush.get());
  const SelectionGuard pen_selected(dc, pen.get());
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

bool body_fits(HDC dc, UiLayout layout, std::string_view text) {
  const auto body = std::find_if(text_children(layout).begin(), text_children(layout).end(),
                                 [](const UiChild& child) { return child.id == ID_TEXT_BODY; });
  if (body == text_children(layout).end()) return false;
  const int width = ui_window_width - 42 - body->box.left;  // as painted: to 42 short of the edge
  const int height = body->box.bottom - body->box.top;
  const UniqueFont font = make_font(-14, 400);
  const std::wstring wide = to_wide(text);
  const auto fits_on = [&](HDC on) {
    const SelectionGuard selected(on, font.get());
    RECT rect{0, 0, width, 0};
    DrawTextW(on, wide.c_str(), -1, &rect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return rect.right <= width && rect.bottom <= height;
  };
  // As draw_part paints it: a bitmap made for the DC, in a memory DC made from it.
  const UniqueBitmap bitmap(CreateCompatibleBitmap(dc, width, height));
  const UniqueMemoryDc memory(CreateCompatibleDC(dc));
  const SelectionGuard selected(memory.get(), bitmap.get());
  return fits_on(dc) && fits_on(memory.get());
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
  const wchar_t* class_name = setup.removal_style ? ui_removal_class : ui_notice_class;

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
  state->look = look_for(setup.removal_style);
  state->removal_style = setup.removal_style;
  state->layout = setup.layout;
  state->read_progress = setup.read_progress;
  if (setup.read_progress != nullptr) state->progress = (*setup.read_progress)();
  state->brand_font = make_font(-28, 700);
  state->heading_font = make_font(-17, 600);
  state->body_font = make_font(-14, 400);
  state->button_font = make_font(-15, 600);
  state->close_font = make_font(-22, 400);

  const int height = ui_window_height(setup.layout);
  const UiPlace corner = place_for(setup, ui_window_width, height);
  // Layered, so that it stays off the screen until it is painted (show_painted).
  HWND window = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_LAYERED, class_name, to_wide(setup.caption).c_str(),
                                WS_POPUP | WS_CLIPCHILDREN, corner.x, corner.y, ui_window_width, height, nullptr,
                                nullptr, instance, state.get());
  if (window != nullptr) {
    // The window owns the region once it has taken it.
    UniqueRegion region(CreateRoundRectRgn(0, 0, ui_window_width + 1, height + 1, 14, 14));
    if (SetWindowRgn(window, region.get(), FALSE)) region.release();
    create_children(window, instance, setup, *state);
    if (!setup.body_forms.empty()) show_fitting_body(window, *state, setup.body_forms);
    initialise_focus_cues(window, *state);
    show_painted(window);
    restore_focus(window, *state);  // the first choice
  }
  if (setup.replaces != nullptr) setup.replaces->close();  // only now: never a frame without a window
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
    if (state != nullptr && !state->closed) PostQuitMessage(0);  // gone while its loop ran: end it
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
    // Closing ends the loop; the window stays until the one that takes its place is shown.
    if (state == nullptr) DestroyWindow(window);
    else if (!state->work_running && !state->closed) close_window(*state);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // painting covers the whole client area
  if (message == WM_DRAWITEM) {
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    if (state != nullptr && item.CtlType == ODT_STATIC) draw_text_child(window, item, *state);
    else if (state != nullptr) draw_button(item, *state);
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
  if (message == WM_ACTIVATE && state != nullptr && handle_activation(window, *state, wparam)) return 0;
  if ((message == WM_CHANGEUISTATE || message == WM_UPDATEUISTATE) && state != nullptr) {
    note_focus_cues(window, *state, wparam);
  }
  if ((message == WM_SYSCOLORCHANGE || (message == WM_SETTINGCHANGE && wparam == SPI_SETHIGHCONTRAST)) &&
      state != nullptr) {
    follow_system_colours(window, *state);
  }
  if (message == ui_body_text_message) {
    // Once the window has closed, the text it points to may be gone.
    if (state != nullptr && !state->closed) show_body(window, *state, *reinterpret_cast<const std::string*>(lparam));
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
