#pragma once
// One worker thread for one piece of work, waited for by its owner, so the work and whatever it
// borrows outlive the thread. A plain Win32 thread: no thread library comes along with it.
#include <windows.h>

#include <functional>
#include <memory>
#include <utility>

#include "platform/basics/handles_win.h"
#include "platform/basics/result.h"

namespace koravane {

class WorkerThread {
 public:
  // Starts `work` on a new thread; the system's error when no thread can be started.
  static OsResult<WorkerThread> start(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, &WorkerThread::run, owned.get(), 0, nullptr);
    if (thread == nullptr) return OsError{GetLastError()};
    return WorkerThread(std::move(owned), UniqueHandle(thread));
  }

  WorkerThread(WorkerThread&&) noexcept = default;
  WorkerThread& operator=(WorkerThread&&) = delete;  // would drop a running thread
  ~WorkerThread() { join(); }

  // Waits until the work has returned; at once when it already has been waited for.
  void join() {
    if (!thread_) return;
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }

 private:
  WorkerThread(std::unique_ptr<std::function<void()>> work, UniqueHandle thread)
      : work_(std::move(work)), thread_(std::move(thread)) {}

  static DWORD WINAPI run(void* work) {
    (*static_cast<std::function<void()>*>(work))();
    return 0;
  }

  std::unique_ptr<std::function<void()>> work_;  // on the heap: moving the owner leaves it in place
  UniqueHandle thread_;
};

}  // namespace koravane
