// Test program: shows the custom windows through the real window code and prints what it read.
//   ui_probe choice                 removal-choice dialog; prints "result N"
//   ui_probe notice TEXT            result notice for TEXT; prints "result N"
//   ui_probe notice-path BEFORE PATH AFTER [ROOT]
//                                   the notice for a message with a path (below ROOT); prints
//                                   "result N"
//   ui_probe refusal PATH REASON    the refusal notice for PATH, REASON "protected" or "unlike";
//                                   prints "result N"
//   ui_probe show-notice TEXT       show_notice as the run plan calls it; prints "closed"
//   ui_probe two [FLAG]             the dialog, then a notice in its place, on one thread; two result
//                                   lines. With FLAG, once the dialog has answered, "waiting" until
//                                   the file FLAG exists before the notice is made, as on a machine
//                                   too busy to make it at once
//   ui_probe post-close CLASS       posts WM_CLOSE to the window of CLASS, from another process
//   ui_probe minimise CLASS         minimises the window of CLASS, from another process; exit 0
//                                   once it is minimised
//   ui_probe iconic CLASS           exit 0 when the window of CLASS is minimised, else 1
//   ui_probe null-loop              loop and release without a window; prints "returned"
//   ui_probe tree CLASS             from another process, the visible window of CLASS as assistive
//                                   technology walks it: "window CAPTION FOREGROUND" (whether keys
//                                   reach it: "foreground" or "-"), then per child in window
//                                   order "child CLASS VISIBLE L,T,R,B FOCUS TEXT", tab-separated,
//                                   with line feeds in TEXT written as \n
//   ui_probe progress FLAG [DONE TOTAL]
//       the progress window over a fake removal that counts a file every 20 ms until the file FLAG
//       exists (with DONE and TOTAL the bar is determinate); prints "done X Y" with the window's
//       last centre and whether the work ran on a worker and the reads on the window's thread
//       ("threads kept apart"), then shows the notice there ("shown") and prints "closed"
//   ui_probe choice-then-progress FLAG
//       the interactive sequence without removal code: the dialog ("shown", "result N"); on a
//       removal choice the progress window in its place as above ("done X Y"); then the notice
//       ("shown", "closed")
// "shown" comes once a window is made, in its place and painted.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/text/os_text_win.h"
#include "run/root/root_safety.h"
#include "ui/dialogs_win.h"
#include "ui/display_scaling_win.h"
#include "ui/progress_win.h"
#include "ui/ui_state_win.h"

namespace koravane {
namespace {

void print_line(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// As busy as a loaded machine can be: the window's thread handles nothing until the test says.
void wait_for_flag(const wchar_t* flag) {
  while (GetFileAttributesW(flag) == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

// The closed window stays on screen for the window that takes its place, as in a run.
ClosedWindow run_and_report(UiWindowHandle handle) {
  print_line("shown");
  UiOutcome outcome = run_modal(std::move(handle));
  print_line("result " + std::to_string(static_cast<uint32_t>(outcome.result)));
  return std::move(outcome.window);
}

// Stands in for a removal: counts files until the test creates the flag file.
// Also checks who runs what: the work on another thread, the reads on this one.
void show_fake_removal(ClosedWindow replaces, const std::wstring& flag, uint64_t done, uint64_t total) {
  const DWORD window_thread = GetCurrentThreadId();
  std::atomic<uint64_t> files{0};
  bool work_elsewhere = false;  // written by the worker, read after it has been joined
  bool reads_here = true;
  const auto work = [&] {
    work_elsewhere = GetCurrentThreadId() != window_thread;
    while (GetFileAttributesW(flag.c_str()) == INVALID_FILE_ATTRIBUTES) {
      files.fetch_add(1, std::memory_order_relaxed);
      Sleep(20);
    }
  };
  const auto read = [&] {
    reads_here = reads_here && GetCurrentThreadId() == window_thread;
    return ProgressSnapshot{ProgressStage::removing_files, files.load(std::memory_order_relaxed), done, total};
  };
  ClosedWindow progress = run_with_progress(std::move(replaces), work, read);
  const std::optional<UiPlace> place = progress.centre();
  print_line(place ? "done " + std::to_string(place->x) + " " + std::to_string(place->y) : "done nowhere");
  print_line(work_elsewhere && reads_here ? "threads kept apart" : "threads mixed up");
  UiWindowHandle notice = create_notice_window("Удалено всё в папке установки.", {.replaces = &progress});
  print_line("shown");
  (void)run_modal(std::move(notice));
  print_line("closed");
}

// A window's text as another program reads it: through WM_GETTEXT, which the window answers.
std::string text_of(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) return "?";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                      10000, &copied);
  text.resize(copied);
  std::string line;
  for (const char c : from_wide(text)) line += c == '\n' ? std::string("\\n") : std::string(1, c);
  return line;
}

int list_tree(const std::wstring& class_name) {
  HWND window = FindWindowW(class_name.c_str(), nullptr);
  if (window == nullptr || !IsWindowVisible(window)) return 1;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  print_line("window\t" + text_of(window) + "\t" + (GetForegroundWindow() == window ? "foreground" : "-"));
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t class_text[64] = {};
    GetClassNameW(child, class_text, 64);
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    print_line("child\t" + from_wide(class_text) + "\t" + (IsWindowVisible(child) ? "visible" : "hidden") + "\t" +
               std::to_string(box.left) + "," + std::to_string(box.top) + "," + std::to_string(box.right) + "," +
               std::to_string(box.bottom) + "\t" + (thread.hwndFocus == child ? "focus" : "-") + "\t" +
               text_of(child));
  }
  return 0;
}

uint64_t number(int argc, wchar_t** argv, int index) {
  return argc > index ? std::wcstoull(argv[index], nullptr, 10) : 0;
}

int probe(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  const std::string text = argc > 2 ? from_wide(argv[2]) : std::string();
  if (mode == L"choice") {
    run_and_report(create_removal_choice_window());
  } else if (mode == L"notice") {
    run_and_report(create_notice_window(text));
  } else if (mode == L"notice-path" && argc > 4) {
    const std::string root = argc > 5 ? from_wide(argv[5]) : std::string();
    run_and_report(create_notice_window(NoticeMessage{text, from_wide(argv[3]), from_wide(argv[4]), root}));
  } else if (mode == L"refusal" && argc > 3) {
    const auto reason = std::wstring(argv[3]) == L"protected" ? RefusalReason::protected_folder
                                                              : RefusalReason::no_launcher_files;
    run_and_report(create_notice_window(refusal_notice(text, reason)));
  } else if (mode == L"show-notice") {
    show_notice(text);
    print_line("closed");
  } else if (mode == L"two") {
    ClosedWindow dialog = run_and_report(create_removal_choice_window());
    if (argc > 2) {
      print_line("waiting");
      wait_for_flag(argv[2]);
    }
    run_and_report(create_notice_window("Удалено всё в папке установки.", {.replaces = &dialog}));
  } else if (mode == L"post-close") {
    HWND window = FindWindowW(to_wide(text).c_str(), nullptr);
    if (window == nullptr) return 1;
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  } else if (mode == L"minimise" || mode == L"iconic") {
    HWND window = FindWindowW(to_wide(text).c_str(), nullptr);
    if (window == nullptr) return 2;
    if (mode == L"minimise") ShowWindow(window, SW_MINIMIZE);
    return IsIconic(window) ? 0 : 1;
  } else if (mode == L"tree") {
    return list_tree(to_wide(text));
  } else if (mode == L"null-loop") {
    run_message_loop(nullptr);
    release_ui_window(nullptr);
    print_line("returned");
  } else if (mode == L"progress" && argc > 2) {
    show_fake_removal({}, argv[2], number(argc, argv, 3), number(argc, argv, 4));
  } else if (mode == L"choice-then-progress" && argc > 2) {
    UiWindowHandle dialog = create_removal_choice_window();  // as ask_removal_choice
    print_line("shown");
    UiOutcome choice = run_modal(std::move(dialog));
    print_line("result " + std::to_string(static_cast<uint32_t>(choice.result)));
    if (choice.result == UiResult::primary || choice.result == UiResult::alternate) {
      show_fake_removal(std::move(choice.window), argv[2], 0, 0);
    }
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
