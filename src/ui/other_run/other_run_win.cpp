#include "ui/other_run/other_run_win.h"

#include <cwchar>

#include "ui/ui_window_win.h"

namespace koravane {
namespace {

struct Search {
  DWORD process_id;
  std::optional<ShownWindow> found;
};

BOOL CALLBACK look_at(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[32] = {};
  RECT rect{};
  if (owner != search.process_id || !IsWindowVisible(window) || GetClassNameW(window, name, 32) == 0 ||
      (std::wcscmp(name, ui_removal_class) != 0 && std::wcscmp(name, ui_notice_class) != 0) ||
      !GetWindowRect(window, &rect)) {
    return TRUE;
  }
  search.found = ShownWindow{window, {rect.left, rect.top, rect.right, rect.bottom}};
  return FALSE;
}

}  // namespace

std::optional<ShownWindow> shown_window_of(DWORD process_id) {
  Search search{process_id, std::nullopt};
  if (process_id != 0) EnumWindows(look_at, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void bring_to_front(HWND window) {
  // Asynchronous: a run that has stopped answering must not stop this one.
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  (void)SetForegroundWindow(window);  // refused, the system flashes its taskbar button instead
}

}  // namespace koravane
