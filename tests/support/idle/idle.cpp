// Stands in for a running program: does nothing until it is ended from outside. Given a path, it
// first opens that file without delete sharing, as a running game holds its files.
//   idle [PATH]
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE) {
    return 1;
  }
  Sleep(INFINITE);
  return 0;
}
