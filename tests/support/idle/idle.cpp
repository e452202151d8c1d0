// Stands in for a running program: does nothing until it is ended from outside. Given a path, it
// first opens that file without delete sharing, as a running game holds its files; given a flag
// path too, it lets go and exits as soon as that flag file appears.
//   idle [PATH [FLAG]]
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  HANDLE held = INVALID_HANDLE_VALUE;
  if (argc > 1) {
    held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
  }
  if (argc < 3) {
    Sleep(INFINITE);
    return 0;
  }
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
  CloseHandle(held);
  return 0;
}
