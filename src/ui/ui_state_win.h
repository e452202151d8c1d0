#pragma once
// The state behind one custom window, the per-thread slot through which its window procedure
// finds it, the modal loop and the teardown.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/handles_win.h"
#include "ui/ui_model.h"

namespace koravane {

// Shared by the window's record and its caller; written by exchange, read once after the loop.
using UiResultCell = std::shared_ptr<std::atomic<uint32_t>>;

inline UiResultCell make_result_cell() { return std::make_shared<std::atomic<uint32_t>>(0); }
inline UiResult read_result(const UiResultCell& cell) { return static_cast<UiResult>(cell->load()); }

struct UiWindowState {
  std::wstring brand;
  std::wstring heading;
  std::wstring body;
  UiResultCell result;
  HWND window = nullptr;  // destroyed by its own WM_CLOSE handling, not by the record
  HICON icon = nullptr;   // the class icon: shared, never destroyed
  UniqueGdiObject brand_font;
  UniqueGdiObject heading_font;
  UniqueGdiObject body_font;
  UniqueGdiObject button_font;
  UniqueGdiObject close_font;
  RECT close_rect{};
  bool removal_style = false;
  bool close_hover = false;
  UiLayout layout = UiLayout::choice;
};

struct UiWindowHandle {
  UiResultCell result;
  std::unique_ptr<UiWindowState> record;
  HWND window = nullptr;
};

// Puts the record into this thread's slot (exclusive access), replacing whatever it held.
void store_current_window(UiWindowState* record);

// Shared access to this thread's slot for the duration of one message; accesses nest.
class CurrentWindowAccess {
 public:
  CurrentWindowAccess();
  ~CurrentWindowAccess();
  CurrentWindowAccess(const CurrentWindowAccess&) = delete;
  CurrentWindowAccess& operator=(const CurrentWindowAccess&) = delete;
  UiWindowState* get() const { return record_; }

 private:
  UiWindowState* record_;
};

// Runs until WM_QUIT (or a GetMessageW failure); returns at once for a null window.
void run_message_loop(HWND window);

// Empties the slot, then frees what the record owns. A null record only empties the slot.
void release_ui_window(std::unique_ptr<UiWindowState> record);

}  // namespace koravane
