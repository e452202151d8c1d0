// Stands in for a running program (the launcher, a game, another application's updater): it
// does nothing until it is ended from outside, or as told:
//   idle [--ready FILE] [--hold PATH]... [--view PATH]... [--until FLAG] [--deny-terminate]
//        [--window TITLE [--closed FILE] [--ignore-close]]
//   --hold PATH     opens PATH without delete sharing, as a running game holds its files;
//   --view PATH     opens PATH sharing it for reading only, as a viewer holds a log it shows;
//   --until FLAG    lets go of everything and exits 0 as soon as the file FLAG exists;
//   --window TITLE  shows a visible top-level window with that title, which another program may
//                   ask to close: on WM_CLOSE it appends "closed <process id>" to the --closed
//                   FILE (when given) and exits 0; with --ignore-close it records the request
//                   and runs on;
//   --deny-terminate  denies PROCESS_TERMINATE to everyone in its own process DACL, as a guarded
//                   program does: opening it for ending is refused (error 5); queries, waits and
//                   windows work as before, and a handle opened before (its starter's) still ends
//                   it; --until or its window's close end it too;
//   --ready FILE    once it runs, holds every PATH and shows its window, writes FILE with the
//                   line "<process id> <creation time>" (support/ready_file_win.h): tests wait
//                   for that instead of guessing how long a start takes.
// Without options it holds nothing, shows nothing and has no window. Exit 1 on a usage error,
// 2 when a PATH cannot be held, the window cannot be shown or the DACL cannot be set (no ready
// file then).
#include <windows.h>
// After windows.h, whose types it uses.
#include <aclapi.h>

#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "support/ready_file_win.h"

namespace {

using koravane::UniqueHandle;

struct Options {
  std::wstring ready, until, title, closed;
  std::vector<std::wstring> held, viewed;
  bool window = false;
  bool ignore_close = false;
  bool deny_terminate = false;
};

// Read by the window procedure, which has no other way to be told.
std::wstring closed_record;
bool ignore_close = false;

// Everyone may do anything with this process but end it.
bool deny_terminate() {
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(everyone);
  alignas(DWORD) BYTE buffer[256];
  ACL* acl = reinterpret_cast<ACL*>(buffer);
  return CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size) &&
         InitializeAcl(acl, sizeof(buffer), ACL_REVISION) &&
         AddAccessDeniedAce(acl, ACL_REVISION, PROCESS_TERMINATE, everyone) &&
         AddAccessAllowedAce(acl, ACL_REVISION, PROCESS_ALL_ACCESS, everyone) &&
         SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                         nullptr) == ERROR_SUCCESS;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Several copies may be asked at once and share one record: an append is not atomic between
// processes under Wine (one copy's line was seen to overwrite another's), so each appends under an
// exclusive lock on the whole file, waiting for it, and only then finds the end.
void record_close() {
  if (closed_record.empty()) return;
  UniqueHandle file(CreateFileW(closed_record.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, 0, nullptr));
  if (!file) return;
  OVERLAPPED whole{};
  if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) return;
  const std::string line = "closed " + std::to_string(GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  if (SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END))
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}  // the lock goes with the handle

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      record_close();
      if (!ignore_close) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

HWND show_window(const std::wstring& title) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"IdleStandIn";
  if (!RegisterClassW(&window_class)) return nullptr;
  HWND window =
      CreateWindowExW(0, window_class.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40,
                      320, 120, nullptr, nullptr, window_class.hInstance, nullptr);
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return window;
}

// Runs the window's messages until it goes or the flag appears (checked on a short timer).
int run_window(HWND window, const std::wstring& until) {
  if (!until.empty()) SetTimer(window, 1, 20, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && exists(until)) return 0;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

bool parse(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--ignore-close" || option == L"--deny-terminate") {
      (option == L"--ignore-close" ? options.ignore_close : options.deny_terminate) = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::wstring value = argv[++i];
    if (option == L"--ready") {
      options.ready = value;
    } else if (option == L"--hold") {
      options.held.push_back(value);
    } else if (option == L"--view") {
      options.viewed.push_back(value);
    } else if (option == L"--until") {
      options.until = value;
    } else if (option == L"--closed") {
      options.closed = value;
    } else if (option == L"--window") {
      options.title = value;
      options.window = true;
    } else {
      return false;
    }
  }
  // What to do on WM_CLOSE only means something with a window.
  return options.window || (options.closed.empty() && !options.ignore_close);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!parse(argc, argv, options)) return 1;
  std::vector<UniqueHandle> held;
  const std::pair<const std::vector<std::wstring>*, DWORD> kinds[] = {
      {&options.held, FILE_SHARE_READ | FILE_SHARE_WRITE}, {&options.viewed, FILE_SHARE_READ}};
  for (const auto& [paths, share] : kinds) {
    for (const std::wstring& path : *paths) {
      held.emplace_back(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
      if (!held.back()) return 2;
    }
  }
  if (options.deny_terminate && !deny_terminate()) return 2;
  closed_record = options.closed;
  ignore_close = options.ignore_close;
  HWND window = options.window ? show_window(options.title) : nullptr;
  if (options.window && !window) return 2;
  if (!options.ready.empty() && !koravane::test::write_ready_file(options.ready)) return 2;
  if (window) return run_window(window, options.until);
  if (options.until.empty()) Sleep(INFINITE);
  while (!exists(options.until)) Sleep(20);
  return 0;
}
