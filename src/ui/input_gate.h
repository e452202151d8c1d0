#pragma once
// Which input a window acts on: only what began on it once a person could see it. A press (a
// mouse button or a key going down) that came before the window was painted closes nothing, nor
// does one that carries on the run of presses begun before it, each within the double-click time
// of the one before (the second click of a double click, a key tapped in quick succession); the
// first press after the run has paused that long counts. Nor does a key pressed before the window
// appeared, whether released or held (its repeats) afterwards.
#include <bitset>
#include <cstdint>
#include <optional>

namespace koravane {

enum class InputKind : uint8_t { press, release, key_down, key_up };

// One mouse button or key message: its time (the system's millisecond tick, which wraps), the
// key's code, and for a key going down whether it was down already (a repeat).
struct InputEvent {
  InputKind kind;
  uint32_t time;
  uint32_t key = 0;
  bool repeat = false;
};

// Whether the event begins a gesture of its own: a mouse press, or a key going down afresh.
constexpr bool is_press(const InputEvent& event) {
  return event.kind == InputKind::press || (event.kind == InputKind::key_down && !event.repeat);
}

class InputGate {
 public:
  // The window is on screen from `now`. last_press is the latest press its thread saw before, on
  // any window: the run of presses it ends goes on while each next one comes within
  // double_click_ms.
  void shown(uint32_t now, std::optional<uint32_t> last_press, uint32_t double_click_ms);
  // Whether the window acts on the event; a press or key it admits lets its release through.
  [[nodiscard]] bool admit(const InputEvent& event);

 private:
  bool press_counts(uint32_t time);

  std::optional<uint32_t> shown_at_;
  std::optional<uint32_t> earlier_run_;  // the latest press of the run begun before it was shown
  uint32_t double_click_ms_ = 0;
  bool pressed_ = false;
  std::bitset<256> keys_down_;
};

}  // namespace koravane
