#include "ui/other_run/other_run_win.h"

#include <cwchar>

#include "ui/ui_window_win.h"

namespace koravane {
namespace {

bool of_class(HWND window, const wchar_t* name) {
  wchar_t found[32] = {};
  return GetClassNameW(window, found, 32) > 0 && std::wcscmp(found, name) == 0;
}

// A handle read from another process may name a window made since; this names one of ours there.
bool shown_by(HWND window, DWORD process_id, bool dialog_only) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == process_id && IsWindowVisible(window) &&
         (of_class(window, ui_removal_class) || (!dialog_only && of_class(window, ui_notice_class)));
}

struct Search {
  DWORD process_id;
  std::optional<UiBox> found;
};

BOOL CALLBACK look_at(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  RECT rect{};
  if (!shown_by(window, search.process_id, false) || !GetWindowRect(window, &rect)) return TRUE;
  search.found = UiBox{rect.left, rect.top, rect.right, rect.bottom};
  return FALSE;
}

}  // namespace

bool bring_to_front(HWND dialog, DWORD process_id) {
  if (dialog == nullptr || !shown_by(dialog, process_id, true)) return false;
  // Asynchronous: a run that has stopped answering must not stop this one.
  if (IsIconic(dialog)) ShowWindowAsync(dialog, SW_RESTORE);
  (void)SetForegroundWindow(dialog);  // refused, the system flashes its taskbar button instead
  return true;
}

std::optional<UiBox> shown_window_of(DWORD process_id) {
  Search search{process_id, std::nullopt};
  if (process_id != 0) EnumWindows(look_at, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace koravane
