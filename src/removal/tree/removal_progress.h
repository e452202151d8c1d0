#pragma once
// What a removal has done so far, for a window that shows it while the removal runs on another
// thread. Only counts cross threads; relaxed order is enough for a display.
#include <atomic>
#include <cstdint>

namespace koravane {

struct RemovalProgress {
  std::atomic<uint64_t> files_removed{0};
  // Launcher-only removal: the launcher entries found and those handled so far. Full removal
  // knows no total without an extra listing pass, and leaves both at 0.
  std::atomic<uint64_t> entries_done{0};
  std::atomic<uint64_t> entries_total{0};

  void count_file() { files_removed.fetch_add(1, std::memory_order_relaxed); }
};

}  // namespace koravane
