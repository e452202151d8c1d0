#include <windows.h>

#include <string_view>

#include "run/command_line/command_line.h"
#include "run/root/install_root.h"
#include "run/plan/run_plan.h"
#include "run/root/working_folder.h"
#include "ui/display_scaling_win.h"

namespace {

std::u16string_view process_command_line() {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return {};
  return std::u16string_view(reinterpret_cast<const char16_t*>(line));
}

}  // namespace

// Start-up asks for crisp text on scaled displays while no window exists yet, then finds the
// options and the install root, and leaves the working folder it was started in (which may lie
// in the root) for an empty one of its own; the run plan does the rest, and that folder goes as
// the run ends. The exit code is 0 on every path.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace koravane;
  request_gdi_scaling();  // refused or unavailable: the windows look as they always did
  const LaunchOptions options = launch_options_from_command_line(process_command_line());
  RunContext context = start_run(options);
  context.run_folder = enter_run_folder();
  run_plan(options, context);
  leave_run_folder(context.run_folder);
  return 0;
}
