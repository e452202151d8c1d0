#include "ui/ui_state_win.h"

#include "platform/fail_fast_win.h"

namespace koravane {
namespace {

// One slot per thread: a non-owning record pointer and an access counter
// (0 free, >0 that many shared accesses, -1 one exclusive access).
struct WindowSlot {
  UiWindowState* record = nullptr;
  int64_t access = 0;
};

thread_local WindowSlot current_window;

// A conflicting access is a programming error, never an input case: end the process.
void set_slot_exclusively(UiWindowState* record) {
  if (current_window.access != 0) fail_fast();
  current_window.access = -1;
  current_window.record = record;
  current_window.access = 0;
}

}  // namespace

void store_current_window(UiWindowState* record) { set_slot_exclusively(record); }

CurrentWindowAccess::CurrentWindowAccess() {
  if (current_window.access < 0) fail_fast();
  ++current_window.access;
  record_ = current_window.record;
}

CurrentWindowAccess::~CurrentWindowAccess() {
  if (current_window.access <= 0) fail_fast();
  --current_window.access;
}

void run_message_loop(HWND window) {
  // A window that was never created would leave us waiting for a WM_QUIT that never comes.
  if (window == nullptr) return;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;  // Tab, Space, Enter, Escape
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void release_ui_window(std::unique_ptr<UiWindowState> record) {
  set_slot_exclusively(nullptr);
  if (!record) return;
  record->brand_font.reset();
  record->heading_font.reset();
  record->body_font.reset();
  record->button_font.reset();
  record->close_font.reset();
  record->result.reset();
  std::wstring().swap(record->brand);
  std::wstring().swap(record->heading);
  std::wstring().swap(record->body);
  record.reset();
}

}  // namespace koravane
