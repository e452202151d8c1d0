#pragma once
// Which input a window acts on: only what began on it once a person could see it. A click that
// went down before the window was painted, or that is the second click of a double click begun
// on the window before it, closes nothing; nor does a key pressed before it appeared, whether
// released or held (its repeats) afterwards.
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

class InputGate {
 public:
  // The window is on screen from `now`. last_press is the latest press its thread saw before,
  // on any window; a press within double_click_ms after it is that gesture's second click.
  void shown(uint32_t now, std::optional<uint32_t> last_press, uint32_t double_click_ms);
  // Whether the window acts on the event; a press or key it admits lets its release through.
  [[nodiscard]] bool admit(const InputEvent& event);

 private:
  bool began_after_shown(uint32_t time) const;

  std::optional<uint32_t> shown_at_;
  std::optional<uint32_t> earlier_press_;
  uint32_t double_click_ms_ = 0;
  bool pressed_ = false;
  std::bitset<256> keys_down_;
};

}  // namespace koravane
