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
  earlier_run_ = last_press;
  double_click_ms_ = double_click_ms;
}

// A press before the window was shown, or within the double-click time of the run's last one,
// carries that run on; the first press after a pause ends it and counts.
bool InputGate::press_counts(uint32_t time) {
  if (!shown_at_) return false;
  const bool before_shown = ticks_between(*shown_at_, time) < 0;
  if (earlier_run_ && !before_shown && ticks_between(*earlier_run_, time) > double_click_ms_) earlier_run_.reset();
  if (!before_shown && !earlier_run_) return true;
  if (!earlier_run_ || ticks_between(*earlier_run_, time) > 0) earlier_run_ = time;
  return false;
}

bool InputGate::admit(const InputEvent& event) {
  const size_t key = event.key & 0xFF;
  switch (event.kind) {
    case InputKind::press:
      if (!press_counts(event.time)) return false;
      pressed_ = true;
      return true;
    case InputKind::release:
      return pressed_;
    case InputKind::key_down:
      if (event.repeat) return keys_down_[key];
      if (!press_counts(event.time)) return false;
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
