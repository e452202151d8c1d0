#include <windows.h>

#include <chrono>

#include "removal/stop_launcher.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {
namespace {

// Sleep may wake a tick early; keep sleeping until the whole pause has passed.
void pause_at_least(std::chrono::milliseconds pause) {
  const auto deadline = std::chrono::steady_clock::now() + pause;
  for (auto now = std::chrono::steady_clock::now(); now < deadline;
       now = std::chrono::steady_clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    Sleep(static_cast<DWORD>(left.count()));
  }
}

}  // namespace

void run_stop_commands(const std::vector<ChildCommand>& commands) {
  for (const ChildCommand& command : commands) {
    (void)run_child(command);  // nothing to do about a tool that failed or found nothing
  }
  pause_at_least(std::chrono::milliseconds(800));
}

void stop_launcher_processes() { run_stop_commands(launcher_stop_commands()); }

}  // namespace koravane
