#include "ui/ui_state_win.h"

#include <utility>

namespace koravane {

UiWindowState* window_state(HWND window) {
  return reinterpret_cast<UiWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void attach_window_state(HWND window, UiWindowState* record) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
}

namespace {

// Only the thread that shows the windows runs their loops: the program has one.
std::optional<uint32_t> last_press;

std::optional<InputEvent> input_event(const MSG& message) {
  const auto time = static_cast<uint32_t>(message.time);
  switch (message.message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCXBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDBLCLK:
    case WM_NCXBUTTONDBLCLK:
      return InputEvent{InputKind::press, time};
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONUP:
    case WM_NCXBUTTONUP:
      return InputEvent{InputKind::release, time};
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      // Bit 30: the key was down before this message, so this is a repeat.
      return InputEvent{InputKind::key_down, time, static_cast<uint32_t>(message.wParam),
                        (message.lParam & (LPARAM{1} << 30)) != 0};
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return InputEvent{InputKind::key_up, time, static_cast<uint32_t>(message.wParam)};
    default:
      return std::nullopt;
  }
}

// Whether the message may reach the window: anything but input its gate turns away.
bool admitted(HWND window, const MSG& message) {
  const std::optional<InputEvent> event = input_event(message);
  if (!event) return true;
  bool admit = true;
  if (message.hwnd == window || IsChild(window, message.hwnd)) {
    UiWindowState* state = window_state(window);
    // A window that has answered acts on nothing more while its loop winds down.
    admit = state == nullptr || (!state->closed && state->input.admit(*event));
  }
  if (is_press(*event)) last_press = event->time;
  return admit;
}

}  // namespace

std::optional<uint32_t> last_press_seen() { return last_press; }

void run_message_loop(HWND window) {
  // A window that was never created would leave us waiting for a WM_QUIT that never comes.
  if (window == nullptr) return;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!admitted(window, message)) continue;
    // Tab shows the focus frame from now on. IsDialogMessageW asks for that on Windows; Wine 8's
    // does not, and asking twice changes nothing.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
        (message.hwnd == window || IsChild(window, message.hwnd))) {
      SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    }
    if (IsDialogMessageW(window, &message)) continue;  // Tab, Space, Enter, Escape
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

UiOutcome run_modal(UiWindowHandle handle) {
  run_message_loop(handle.window);
  handle.record->closed = true;  // also after a failed loop: its window must not end the next one's
  const UiResult result = handle.record->result;
  return {result, ClosedWindow(std::move(handle))};
}

ClosedWindow& ClosedWindow::operator=(ClosedWindow&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.take();
  }
  return *this;
}

UiWindowHandle ClosedWindow::take() { return {std::move(handle_.record), std::exchange(handle_.window, nullptr)}; }

// The record forgets its window once that is gone.
HWND ClosedWindow::live() const { return handle_.record ? handle_.record->window : nullptr; }

std::optional<UiPlace> ClosedWindow::centre() const {
  RECT rect{};
  if (live() == nullptr || !GetWindowRect(live(), &rect)) return std::nullopt;
  return UiPlace{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

void ClosedWindow::close() {
  if (HWND window = live()) DestroyWindow(window);
  handle_.window = nullptr;
  release_ui_window(std::move(handle_.record));
}

void release_ui_window(std::unique_ptr<UiWindowState> record) {
  if (!record) return;
  // WM_NCDESTROY forgets the window; one still here (a failed loop) must stop reaching the record.
  if (record->window != nullptr) attach_window_state(record->window, nullptr);
  record.reset();  // fonts, texts and the record itself
}

}  // namespace koravane
