#pragma once
// The state behind one custom window, how its window procedure reaches it, the modal loop and
// the teardown.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/basics/handles_win.h"
#include "ui/input_gate.h"
#include "ui/ui_model.h"

namespace koravane {

// One per window, owned by the caller. The window reaches it through its user data, set from the
// creation parameter; every field is used on the window's own thread only.
struct UiWindowState {
  std::wstring brand;
  std::wstring heading;
  std::wstring body;
  UiResult result = UiResult::none;
  HWND window = nullptr;  // destroyed by its own WM_CLOSE handling, not by the record
  HICON icon = nullptr;   // the class icon: shared, never destroyed
  UniqueFont brand_font;
  UniqueFont heading_font;
  UniqueFont body_font;
  UniqueFont button_font;
  UniqueFont close_font;
  RECT close_rect{};  // empty where the layout has no close glyph
  UiLook look{};      // the dark look of the palette, or the system's colours in high contrast
  bool removal_style = false;
  bool close_hover = false;
  UiLayout layout = UiLayout::choice;
  // Set once the window has closed: its loop ends, and the window stays on screen, acting on
  // nothing, until the window that takes its place has been shown over it.
  bool closed = false;
  // What input the window acts on: what began on it once it was painted.
  InputGate input;

  // The keyboard: the control that had the focus when the window was last deactivated, and
  // whether the focus frame is hidden until the keyboard is used. Where the system keeps that
  // state for its windows it is asked; otherwise the window keeps it here.
  HWND focused_control = nullptr;
  bool system_focus_cues = false;
  bool focus_cues_hidden = true;

  // The progress layout: what the card shows, where the marquee stands, and whether the work
  // still runs (the window cannot be closed until it has ended).
  const std::function<ProgressSnapshot()>* read_progress = nullptr;
  ProgressSnapshot progress;
  uint32_t marquee_tick = 0;
  bool work_running = false;
  // What of the progress reaches the window tree, and when.
  TextPacer stage_text{0};
  TextPacer count_text{progress_count_text_interval_ms};
};

struct UiWindowHandle {
  std::unique_ptr<UiWindowState> record;
  HWND window = nullptr;
};

// The record a window was created with; null before WM_NCCREATE and after release.
UiWindowState* window_state(HWND window);
// Gives the window its record; called at WM_NCCREATE with the creation parameter.
void attach_window_state(HWND window, UiWindowState* record);

// The time of the latest press (a mouse button, a key going down) this thread's loops have seen,
// on any window.
std::optional<uint32_t> last_press_seen();

// Runs until WM_QUIT (or a GetMessageW failure); returns at once for a null window. Mouse button
// and key messages for the window that its input gate does not admit are dropped unseen.
void run_message_loop(HWND window);

// A window whose loop has ended. It stays on screen until the window that takes its place has
// been shown over it, so that no frame is without a window; it goes with this, or once replaced.
class ClosedWindow {
 public:
  ClosedWindow() = default;
  explicit ClosedWindow(UiWindowHandle handle) : handle_(std::move(handle)) {}
  ClosedWindow(ClosedWindow&& other) noexcept : handle_(other.take()) {}
  ClosedWindow& operator=(ClosedWindow&& other) noexcept;
  ~ClosedWindow() { close(); }

  // Its centre on the screen; none without a window. Windows of different heights that take one
  // another's place keep their centre, so a 300-pixel window takes the middle of a 500-pixel one.
  std::optional<UiPlace> centre() const;
  // Destroys the window and releases its record.
  void close();

 private:
  UiWindowHandle take();
  HWND live() const;
  UiWindowHandle handle_;
};

// What a closed window leaves behind: its answer, and the window itself until it goes.
struct UiOutcome {
  UiResult result = UiResult::none;
  ClosedWindow window;  // empty when no window was shown
};
// Runs the loop until the window has closed and reads its answer.
UiOutcome run_modal(UiWindowHandle handle);

// Detaches the record from its window, if that still exists, so late messages find nothing;
// then frees what the record owns. A null record does nothing.
void release_ui_window(std::unique_ptr<UiWindowState> record);

}  // namespace koravane
