#include "ui/input_gate.h"

namespace koravane {
namespace {

// Milliseconds from `from` to `to` on a tick that wraps every 49.7 days; negative when `to` is
// earlier.
int64_t ticks_between(uint32_t from, uint32_t to) { return static_cast<int32_t>(to - from); }

}  // namespace

void InputGate::shown(uint32_t now, std::optional<uint32_t> last_press, uint32_t double_click_ms) {
  if (shown_at_) return;
  shown_at_ = now;
  earlier_press_ = last_press;
  double_click_ms_ = double_click_ms;
}

bool InputGate::began_after_shown(uint32_t time) const {
  return shown_at_ && ticks_between(*shown_at_, time) >= 0;
}

bool InputGate::admit(const InputEvent& event) {
  const size_t key = event.key & 0xFF;
  switch (event.kind) {
    case InputKind::press:
      if (!began_after_shown(event.time)) return false;
      if (earlier_press_) {
        const int64_t since = ticks_between(*earlier_press_, event.time);
        if (since >= 0 && since <= double_click_ms_) return false;
      }
      pressed_ = true;
      return true;
    case InputKind::release:
      return pressed_;
    case InputKind::key_down:
      if (event.repeat) return keys_down_[key];
      if (!began_after_shown(event.time)) return false;
      keys_down_[key] = true;
      return true;
    case InputKind::key_up:
      if (!keys_down_[key]) return false;
      keys_down_[key] = false;
      return true;
  }
  return false;
}

}  // namespace koravane
