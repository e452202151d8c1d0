#include "platform/processes_win.h"

#include <tlhelp32.h>

#include "platform/os_text_win.h"

namespace koravane {

std::optional<std::string> process_image_path(HANDLE process) {
  std::wstring buffer(32768, L'\0');  // the longest path the system has
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return std::nullopt;
  buffer.resize(size);
  return from_wide(buffer);
}

uint64_t process_creation_time(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

ProcessSnapshot snapshot_processes(DWORD access) {
  ProcessSnapshot snapshot;
  UniqueHandle list(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!list) return snapshot;
  PROCESSENTRY32W item{};
  item.dwSize = sizeof(item);
  for (BOOL more = Process32FirstW(list.get(), &item); more; more = Process32NextW(list.get(), &item)) {
    if (item.th32ProcessID == 0) continue;
    UniqueHandle process(OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, item.th32ProcessID));
    // Refused the rest, the process may still say what it is, through a handle that goes at once.
    const UniqueHandle look(process ? nullptr
                                    : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, item.th32ProcessID));
    const HANDLE inspect = process ? process.get() : look.get();
    ProcessEntry entry{item.th32ProcessID, item.th32ParentProcessID, 0, from_wide(item.szExeFile),
                       std::nullopt};
    if (inspect) {
      entry.created = process_creation_time(inspect);
      if (std::optional<std::string> image = process_image_path(inspect)) entry.image = unresolved(std::move(*image));
    }
    snapshot.entries.push_back(std::move(entry));
    snapshot.handles.push_back(std::move(process));
  }
  return snapshot;
}

}  // namespace koravane
