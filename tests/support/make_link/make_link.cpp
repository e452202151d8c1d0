// Makes shortcuts through the shell, for tests that lay out a user's profile:
//   make_link LINK TARGET ARGUMENTS [LINK TARGET ARGUMENTS]...   -- exit code 0 once all are saved
#include "support/shell_link_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || (argc - 1) % 3 != 0) return 2;
  for (int i = 1; i < argc; i += 3) {
    if (!koravane::test::make_shell_link(argv[i], argv[i + 1], argv[i + 2])) return 1;
  }
  return 0;
}
