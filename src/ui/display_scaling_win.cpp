#include "ui/display_scaling_win.h"

namespace koravane {

SetDpiAwarenessFunction find_set_process_dpi_awareness() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) user32 = LoadLibraryW(L"user32.dll");  // a known DLL: never planted
  if (user32 == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(user32, "SetProcessDpiAwarenessContext");
  return reinterpret_cast<SetDpiAwarenessFunction>(reinterpret_cast<void*>(proc));
}

GdiScalingRequest request_gdi_scaling(SetDpiAwarenessFunction set_awareness) {
  if (set_awareness == nullptr) return {GdiScalingOutcome::unavailable, 0};
  // Windows before 1809 and Wine 8 know the call but not this context: they refuse it with
  // ERROR_INVALID_PARAMETER and the process stays as it was.
  if (!set_awareness(DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED)) {
    return {GdiScalingOutcome::refused, GetLastError()};
  }
  return {GdiScalingOutcome::applied, 0};
}

}  // namespace koravane
