#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/env.h"
#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "removal/stop_launcher.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {
namespace {

constexpr std::wstring_view kUpdaterImage = L"Update.exe";
constexpr DWORD kUpdaterExitWait = 5000;  // ms; an ended process lets go of its file on exit

// Sleep may wake a tick early; keep sleeping until the whole pause has passed.
void pause_at_least(std::chrono::milliseconds pause) {
  const auto deadline = std::chrono::steady_clock::now() + pause;
  for (auto now = std::chrono::steady_clock::now(); now < deadline;
       now = std::chrono::steady_clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    Sleep(static_cast<DWORD>(left.count()));
  }
}

std::optional<std::string> process_image_path(HANDLE process) {
  std::wstring buffer(32768, L'\0');  // the longest path the system has
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return std::nullopt;
  buffer.resize(size);
  return from_wide(buffer);
}

// Ends the process if its executable is updater. The image is checked on the handle that ends
// it, so a process id reused meanwhile cannot hit another program.
void end_if_running(DWORD process_id, std::string_view updater) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE,
                                   FALSE, process_id));
  if (!process) return;
  const std::optional<std::string> image = process_image_path(process.get());
  if (!image || !same_path(*image, updater)) return;
  if (TerminateProcess(process.get(), 1)) WaitForSingleObject(process.get(), kUpdaterExitWait);
}

// Other programs' updaters share the name "Update.exe"; only the install root's own is ended.
void end_root_updater(std::string_view install_root) {
  const OsResult<std::string> root = absolute_path(install_root);
  if (!root) return;
  const std::string updater = join_path(root.value(), "Update.exe");
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;
    if (CompareStringOrdinal(entry.szExeFile, -1, kUpdaterImage.data(),
                             static_cast<int>(kUpdaterImage.size()), TRUE) != CSTR_EQUAL) {
      continue;
    }
    end_if_running(entry.th32ProcessID, updater);
  }
}

}  // namespace

void stop_processes(const std::vector<ChildCommand>& commands, std::string_view install_root) {
  for (const ChildCommand& command : commands) {
    (void)run_child(command);  // nothing to do about a tool that failed or found nothing
  }
  end_root_updater(install_root);
  pause_at_least(std::chrono::milliseconds(800));
}

void stop_launcher_processes(std::string_view install_root) {
  stop_processes(launcher_stop_commands(), install_root);
}

}  // namespace koravane
