// Test program: prints "started", then ends through std::terminate.
//   terminate_probe throw       an exception nobody catches
//   terminate_probe terminate   std::terminate() called directly
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string_view>

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view mode = argc > 1 ? argv[1] : L"";
  std::fputs("started\n", stdout);
  std::fflush(stdout);
  if (mode == L"throw") throw std::runtime_error("nobody catches this");
  if (mode == L"terminate") std::terminate();
  return 2;
}
