// Test program: shows the custom windows through the real window code and prints what it read.
//   ui_probe choice                 removal-choice dialog; prints "result N"
//   ui_probe notice TEXT            result notice for TEXT; prints "result N"
//   ui_probe show-notice TEXT       show_notice as the run plan calls it; prints "closed"
//   ui_probe two                    the dialog, then a notice, on one thread; two result lines
//   ui_probe post-close CLASS       posts WM_CLOSE to the window of CLASS, from another process
//   ui_probe conflict               takes the window slot twice in conflicting ways; must not return
//   ui_probe null-loop              loop and release without a window; prints "returned"
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/os_text_win.h"
#include "ui/dialogs_win.h"
#include "ui/display_scaling_win.h"
#include "ui/ui_state_win.h"

namespace koravane {
namespace {

void print_line(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void run_and_report(UiWindowHandle handle) {
  print_line("shown");
  run_message_loop(handle.window);
  const UiResult result = read_result(handle.result);
  release_ui_window(std::move(handle.record));
  print_line("result " + std::to_string(static_cast<uint32_t>(result)));
}

int probe(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  const std::string text = argc > 2 ? from_wide(argv[2]) : std::string();
  if (mode == L"choice") {
    run_and_report(create_removal_choice_window());
  } else if (mode == L"notice") {
    run_and_report(create_notice_window(text));
  } else if (mode == L"show-notice") {
    show_notice(text);
    print_line("closed");
  } else if (mode == L"two") {
    run_and_report(create_removal_choice_window());
    run_and_report(create_notice_window("Удалено всё в папке установки."));
  } else if (mode == L"post-close") {
    HWND window = FindWindowW(to_wide(text).c_str(), nullptr);
    if (window == nullptr) return 1;
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  } else if (mode == L"conflict") {
    CurrentWindowAccess shared;
    print_line("storing");
    store_current_window(nullptr);
    print_line("survived");
  } else if (mode == L"null-loop") {
    run_message_loop(nullptr);
    release_ui_window(nullptr);
    print_line("returned");
  } else {
    return 2;
  }
  return 0;
}

}  // namespace
}  // namespace koravane

int wmain(int argc, wchar_t** argv) {
  koravane::request_gdi_scaling();  // as Uninstall.exe starts, so the pixels are checked that way
  return koravane::probe(argc, argv);
}
