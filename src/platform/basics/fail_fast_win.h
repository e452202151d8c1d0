#pragma once
// A broken internal invariant ends the process at once, without unwinding or clean-up.
#include <windows.h>

namespace koravane {

[[noreturn]] inline void fail_fast() {
  RaiseFailFastException(nullptr, nullptr, 0);
  TerminateProcess(GetCurrentProcess(), 0xC0000409);  // in case the system returned
  __builtin_unreachable();
}

}  // namespace koravane
