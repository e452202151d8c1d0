#include <windows.h>

#include <string_view>

#include "run/command_line.h"
#include "run/install_root.h"
#include "run/run_log.h"
#include "run/run_plan_text.h"

namespace {

std::u16string_view process_command_line() {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return {};
  return std::u16string_view(reinterpret_cast<const char16_t*>(line));
}

}  // namespace

// Start-up only for now: the options and the install root are found and the start line is
// logged; nothing is removed yet. The exit code is 0 on every path.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace koravane;
  const LaunchOptions options = launch_options_from_command_line(process_command_line());
  const InstallRoot root = find_install_root(options);
  append_run_log(root.path, start_line(options.quiet, root.path));
  return 0;
}
