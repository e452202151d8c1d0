// Stand-in for the system's timeout.exe: "timeout /t N [/nobreak]" waits N seconds, given a console
// to read as the real one needs. Keys never cut the wait short, so /nobreak changes nothing here.
// A test that must act before a script goes on names a file in KORAVANE_TIMEOUT_HOLD: the wait
// then also lasts while that file exists, so the test decides when the script goes on instead of
// racing its N seconds. A test that must know whether the wait happened names a file in
// KORAVANE_TIMEOUT_RECORD: each run appends "waited N" or "refused" to it.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/basics/handles_win.h"

namespace {

bool same_option(const wchar_t* argument, const wchar_t* option) {
  return _wcsicmp(argument, option) == 0;
}

void record(const std::string& line) {
  const wchar_t* name = _wgetenv(L"KORAVANE_TIMEOUT_RECORD");
  if (!name || !*name) return;
  const koravane::UniqueHandle file(CreateFileW(name, FILE_APPEND_DATA,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_ALWAYS, 0, nullptr));
  const std::string text = line + "\n";
  DWORD written = 0;
  if (file) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  long seconds = -2;
  for (int i = 1; i < argc; ++i) {
    if (same_option(argv[i], L"/t") && i + 1 < argc) {
      wchar_t* end = nullptr;
      seconds = std::wcstol(argv[++i], &end, 10);
      if (end == argv[i] || *end != L'\0') return 1;
    } else if (!same_option(argv[i], L"/nobreak")) {
      return 1;
    }
  }
  if (seconds < -1 || seconds > 99999) return 1;
  // Like the system's, it waits only with a console to read: redirected input (a file, a pipe,
  // the null device) ends it at once, /nobreak or not.
  if (DWORD mode = 0; !GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
    std::fputws(L"ERROR: Input redirection is not supported, exiting the process immediately.\n",
                stderr);
    record("refused");
    return 1;
  }
  Sleep(seconds == -1 ? INFINITE : static_cast<DWORD>(seconds) * 1000);
  if (const wchar_t* hold = _wgetenv(L"KORAVANE_TIMEOUT_HOLD"); hold && *hold) {
    while (GetFileAttributesW(hold) != INVALID_FILE_ATTRIBUTES) Sleep(20);
  }
  record("waited " + std::to_string(seconds));
  return 0;
}
