// Does start-up as Uninstall.exe does and writes what it found into the file named by
// KORAVANE_PROBE_OUT, so tests can run copies of it from prepared folders.
// Output, one UTF-8 line each: own executable path, install root, root source (number),
// whether the root carries launcher markers, the quiet flag; then the GDI-scaling request
// ("applied", "refused ERROR" or "unavailable"), whether this system knows the GDI-scaled
// context ("known" or "unknown"), the DPI awareness right after the request (no window exists
// yet) and that of the first window made afterwards ("gdi-scaled" or "awareness N").
#include <windows.h>

#include <string>

#include "platform/files/env.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "run/command_line/command_line.h"
#include "run/root/install_root.h"
#include "ui/display_scaling_win.h"

namespace {

std::string scaling_text(koravane::GdiScalingRequest request) {
  switch (request.outcome) {
    case koravane::GdiScalingOutcome::applied: return "applied";
    case koravane::GdiScalingOutcome::refused: return "refused " + std::to_string(request.error);
    case koravane::GdiScalingOutcome::unavailable: return "unavailable";
  }
  return "?";
}

std::string awareness_text(DPI_AWARENESS_CONTEXT context) {
  if (AreDpiAwarenessContextsEqual(context, DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED)) {
    return "gdi-scaled";
  }
  return "awareness " + std::to_string(static_cast<int>(GetAwarenessFromDpiAwarenessContext(context)));
}

// The awareness a window gets once start-up is done; the window is never shown.
std::string first_window_awareness() {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return "no window " + std::to_string(GetLastError());
  const std::string text = awareness_text(GetWindowDpiAwarenessContext(window));
  DestroyWindow(window);
  return text;
}

}  // namespace

int wmain() {
  using namespace koravane;
  const GdiScalingRequest scaling = request_gdi_scaling();
  const std::string before_window = awareness_text(GetThreadDpiAwarenessContext());
  const std::optional<std::string> out_path = read_env_var("KORAVANE_PROBE_OUT");
  if (!out_path) return 2;
  const wchar_t* line = GetCommandLineW();
  const LaunchOptions options = launch_options_from_command_line(
      line ? std::u16string_view(reinterpret_cast<const char16_t*>(line)) : std::u16string_view());
  const RunContext context = start_run(options);
  const InstallRoot& root = context.root;

  std::string text = context.executable.empty() ? "error" : context.executable;
  text += "\n" + root.path + "\n" + std::to_string(static_cast<int>(root.source)) + "\n";
  text += root.evidence != LauncherEvidence::none ? "markers\n" : "no markers\n";
  text += options.quiet ? "quiet\n" : "interactive\n";
  text += scaling_text(scaling) + "\n";
  text += IsValidDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED) ? "known\n" : "unknown\n";
  text += before_window + "\n" + first_window_awareness() + "\n";

  UniqueHandle out(CreateFileW(to_wide(*out_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr));
  DWORD written = 0;
  if (!out || !WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    return 3;
  }
  return 0;
}
