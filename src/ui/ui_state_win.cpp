#include "ui/ui_state_win.h"

namespace koravane {

UiWindowState* window_state(HWND window) {
  return reinterpret_cast<UiWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void attach_window_state(HWND window, UiWindowState* record) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
}

void run_message_loop(HWND window) {
  // A window that was never created would leave us waiting for a WM_QUIT that never comes.
  if (window == nullptr) return;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
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
  const UiOutcome outcome{handle.record->result, handle.record->closed_at};
  release_ui_window(std::move(handle.record));
  return outcome;
}

void release_ui_window(std::unique_ptr<UiWindowState> record) {
  if (!record) return;
  // WM_NCDESTROY forgets the window; one still here (a failed loop) must stop reaching the record.
  if (record->window != nullptr) attach_window_state(record->window, nullptr);
  record.reset();  // fonts, texts and the record itself
}

}  // namespace koravane
