#pragma once
// Time for waits and pauses, from the system's tick count: libstdc++'s clocks would bring the
// thread library into the executable.
#include <windows.h>

#include <cstdint>

namespace koravane {

// A point some milliseconds from now, and how long is left until it (0 once it has passed).
class Deadline {
 public:
  explicit Deadline(uint32_t milliseconds) : end_(GetTickCount64() + milliseconds) {}
  DWORD left() const {
    const uint64_t now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
  }

 private:
  uint64_t end_;
};

// Sleep may wake a tick early; keep sleeping until the whole pause has passed.
inline void pause_at_least(uint32_t milliseconds) {
  const Deadline deadline(milliseconds);
  for (DWORD left = deadline.left(); left > 0; left = deadline.left()) Sleep(left);
}

}  // namespace koravane
