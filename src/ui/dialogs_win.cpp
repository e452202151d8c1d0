#include "ui/dialogs_win.h"

#include <atomic>
#include <string>
#include <vector>

#include "platform/basics/worker_thread_win.h"
#include "ui/ui_window_win.h"
#include "ui/world_text.h"

namespace koravane {

UiWindowHandle create_removal_choice_window() {
  UiWindowSetup setup;
  setup.removal_style = true;
  setup.caption = "KoraVane \u2014 удаление";
  setup.heading = "Что удалить?";
  const std::string body = removal_choice_body(0, 0);
  setup.body = body;
  setup.layout = UiLayout::choice;
  setup.primary_label = "Только лаунчер";
  setup.cancel_label = "Отмена";
  setup.alternate_label = "Удалить всё";
  return create_ui_window(setup);
}

UiOutcome ask_removal_choice() { return run_modal(create_removal_choice_window()); }

UiOutcome ask_removal_choice(const Explanation& explain) {
  // The window first, so that the work takes nothing from its first paint.
  UiWindowHandle handle = create_removal_choice_window();
  std::atomic<bool> stop{false};
  std::string body;  // written before the message is posted, read by the window after it
  HWND window = handle.window;
  // Declared last, so it is joined before what it borrows goes.
  OsResult<WorkerThread> worker = WorkerThread::start([&explain, &stop, &body, window] {
    std::optional<std::string> fuller = explain(stop);
    if (!fuller || stop.load()) return;
    body = std::move(*fuller);
    PostMessageW(window, ui_body_text_message, 0, reinterpret_cast<LPARAM>(&body));
  });
  UiOutcome outcome = run_modal(std::move(handle));
  stop = true;
  return outcome;
}

UiResult show_removal_choice() { return ask_removal_choice().result; }

UiWindowHandle create_notice_window(const NoticeMessage& message, NoticePlace place) {
  const std::vector<std::string> bodies = notice_bodies(message);
  UiWindowSetup setup;
  setup.caption = "KoraVane";
  setup.heading = "KoraVane";
  setup.body = bodies.front();
  // A message without a path is shown as it is, whatever its length.
  if (!message.path.empty()) setup.body_forms = bodies;
  setup.layout = UiLayout::notice;
  setup.primary_label = "Закрыть";
  setup.replaces = place.replaces;
  setup.beside = place.beside;
  return create_ui_window(setup);
}

void show_notice(const NoticeMessage& message, NoticePlace place) {
  (void)run_modal(create_notice_window(message, place));  // the notice asks nothing
}

}  // namespace koravane
