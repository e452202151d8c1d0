// Output, one UTF-8 line each: own executable path, install root, root source (number),
// whether the root carries launcher markers, the quiet flag.
#include <windows.h>

#include <string>

#include "platform/env.h"
#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "run/command_line.h"
#include "run/install_root.h"

int wmain() {
  using namespace koravane;
  const std::optional<std::string> out_path = read_env_var("KORAVANE_PROBE_OUT");
  if (!out_path) return 2;
  const wchar_t* line = GetCommandLineW();
  const LaunchOptions options = launch_options_from_command_line(
      line ? std::u16string_view(reinterpret_cast<const char16_t*>(line)) : std::u16string_view());
  const InstallRoot root = find_install_root(options);
  const OsResult<std::string> executable = own_executable_path();

  std::string text = executable ? executable.value() : "error " + std::to_string(executable.error().code);
  text += "\n" + root.path + "\n" + std::to_string(static_cast<int>(root.source)) + "\n";
  text += has_launcher_evidence(root.path) ? "markers\n" : "no markers\n";
  text += options.quiet ? "quiet\n" : "interactive\n";

  UniqueHandle out(CreateFileW(to_wide(*out_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr));
  DWORD written = 0;
  if (!out || !WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    return 3;
  }
  return 0;
}
