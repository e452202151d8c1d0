// Starts a program with a changed environment and current directory, waits for it and exits with
// its exit code (255 when it cannot be started). Wine sets the profile variables of a Windows
// process itself, so tests change them from inside the prefix:
//   with_env [NAME=VALUE | -NAME | --cwd DIR | --start-in DIR | --output FILE]... -- PROGRAM [ARGUMENTS...]
// --cwd DIR works in DIR (the program inherits it); --start-in DIR starts the program in DIR
// without working there, as Explorer starts a shortcut's program in its "Start in" folder.
// --output FILE hands the program FILE as its standard output and error, the way a shell runs
// "PROGRAM >FILE 2>&1": an inheritable handle, open until the program has ended.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/processes/child_process.h"
#include "platform/text/os_text_win.h"
#include "support/ready_file_win.h"
#include "support/test_files_win.h"

int wmain(int argc, wchar_t** argv) {
  using namespace koravane;
  UniqueHandle output;
  std::optional<std::string> start_in;
  int i = 1;
  for (; i < argc && std::wstring(argv[i]) != L"--"; ++i) {
    const std::wstring item = argv[i];
    if (item == L"--cwd" && i + 1 < argc) {
      SetCurrentDirectoryW(argv[++i]);
    } else if (item == L"--start-in" && i + 1 < argc) {
      start_in = from_wide(argv[++i]);
    } else if (item == L"--output" && i + 1 < argc) {
      output = test::create_inheritable_file(from_wide(argv[++i]));
      if (!output) return 255;
      SetStdHandle(STD_OUTPUT_HANDLE, output.get());
      SetStdHandle(STD_ERROR_HANDLE, output.get());
    } else if (item == L"--ready" && i + 1 < argc) {
      if (!koravane::test::write_ready_file(argv[++i])) return 255;
    } else if (item.starts_with(L"-")) {
      SetEnvironmentVariableW(item.substr(1).c_str(), nullptr);
    } else if (const size_t equals = item.find(L'='); equals != std::wstring::npos) {
      SetEnvironmentVariableW(item.substr(0, equals).c_str(), item.substr(equals + 1).c_str());
    }
  }
  if (i + 1 >= argc) return 255;
  ChildCommand command(from_wide(argv[i + 1]));
  for (int k = i + 2; k < argc; ++k) command.arg(from_wide(argv[k]));
  command.working_directory = start_in;
  const auto exit_code = run_child(command);
  return exit_code ? static_cast<int>(exit_code.value()) : 255;
}
