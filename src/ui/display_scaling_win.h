#pragma once
// Crisp text on scaled displays. Our windows are laid out in fixed pixels and the program carries
// no manifest, so at 125-200% Windows stretches them as bitmaps and blurs every letter. Asked for
// GDI-scaled DPI unawareness before the first window exists, Windows keeps the layout and draws
// GDI text at the display's own resolution. Systems without the call run as before.
#include <windows.h>

#include <cstdint>

namespace koravane {

enum class GdiScalingOutcome : uint8_t { applied, refused, unavailable };

struct GdiScalingRequest {
  GdiScalingOutcome outcome = GdiScalingOutcome::unavailable;
  uint32_t error = 0;  // why the system refused
};

using SetDpiAwarenessFunction = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);

// SetProcessDpiAwarenessContext of this system's user32, looked up at run time; null before
// Windows 10 1703.
SetDpiAwarenessFunction find_set_process_dpi_awareness();

// Asks set_awareness (null: the system has none) for GDI-scaled DPI unawareness.
GdiScalingRequest request_gdi_scaling(SetDpiAwarenessFunction set_awareness);

// The start-up step of a program that shows our windows; call it before any window exists.
inline GdiScalingRequest request_gdi_scaling() {
  return request_gdi_scaling(find_set_process_dpi_awareness());
}

}  // namespace koravane
