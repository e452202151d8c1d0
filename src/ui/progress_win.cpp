#include "ui/progress_win.h"

#include "platform/basics/worker_thread_win.h"
#include "ui/ui_window_win.h"

namespace koravane {

ClosedWindow run_with_progress(ClosedWindow replaces, const std::function<void()>& work,
                               const std::function<ProgressSnapshot()>& read) {
  UiWindowSetup setup;
  setup.removal_style = true;
  setup.caption = "KoraVane \u2014 удаление";
  setup.heading = "Удаление\u2026";
  setup.layout = UiLayout::progress;
  setup.replaces = &replaces;
  setup.read_progress = &read;
  UiWindowHandle handle = create_ui_window(setup);
  HWND window = handle.window;
  UiWindowState& state = *handle.record;
  state.work_running = true;

  // Without a window the message goes to the worker's own queue, which no one reads: harmless.
  OsResult<WorkerThread> worker = WorkerThread::start([&work, window] {
    work();
    PostMessageW(window, ui_work_done_message, 0, 0);
  });
  if (!worker) {
    // No second thread to be had: the removal matters more than a live window.
    work();
    state.work_running = false;
  }
  if (window != nullptr) {
    if (worker) SetTimer(window, ui_progress_timer, ui_progress_interval_ms, nullptr);
    else PostMessageW(window, WM_CLOSE, 0, 0);
  }
  UiOutcome outcome = run_modal(std::move(handle));
  if (worker) worker.value().join();
  return std::move(outcome.window);
}

}  // namespace koravane
