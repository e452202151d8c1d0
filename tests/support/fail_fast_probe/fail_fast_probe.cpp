// Test program: prints "started", then gives up the way the mode says, which must end it at once
// through fail-fast.
//   fail_fast_probe memory     operator new cannot get the memory
//   fail_fast_probe length     a string longer than a string can be
//   fail_fast_probe function   an empty std::function called
#include <cstdint>
#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <string_view>

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view mode = argc > 1 ? argv[1] : L"";
  std::fputs("started\n", stdout);
  std::fflush(stdout);
  if (mode == L"memory") {
    volatile std::size_t size = SIZE_MAX / 2;  // no system has that much
    std::printf("%p\n", ::operator new(size));
  } else if (mode == L"length") {
    std::string text;
    volatile std::size_t length = text.max_size();
    text.reserve(length + 1);
    std::printf("%zu\n", text.capacity());
  } else if (mode == L"function") {
    std::function<int()> nothing;
    std::printf("%d\n", nothing());
  }
  return 2;
}
