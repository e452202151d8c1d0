// Linked straight into a program that neither throws nor catches (never through a library, where
// the linker would not look for these in time), the definitions here take the place of
// libstdc++'s for the few ways its code gives up: exhausted memory, an impossible length, an empty
// std::function called. Each ends the process at once, like any other broken invariant.
//
// libstdc++'s own throw, and so link the whole exception machinery, copy-on-write strings,
// std::random_device and, through the exception globals' thread-local storage, the thread
// library: about 90 KB of Uninstall.exe that could never run. A program that does throw (a test)
// must not link this file.
#include <cstdlib>
#include <new>

#include "platform/basics/fail_fast_win.h"

namespace std {

void __throw_bad_alloc() { koravane::fail_fast(); }
void __throw_bad_array_new_length() { koravane::fail_fast(); }
void __throw_length_error(const char*) { koravane::fail_fast(); }
void __throw_logic_error(const char*) { koravane::fail_fast(); }
void __throw_out_of_range_fmt(const char*, ...) { koravane::fail_fast(); }
void __throw_bad_function_call() { koravane::fail_fast(); }

}  // namespace std

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  koravane::fail_fast();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
