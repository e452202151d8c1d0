#include "platform/processes/processes_win.h"

#include <tlhelp32.h>

#include "platform/text/os_text_win.h"

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
  // Read after the list was made: no process it lists was created later. Precise, so that it is
  // never behind a creation time of the same moment.
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const uint64_t taken = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  PROCESSENTRY32W item{};
  item.dwSize = sizeof(item);
  for (BOOL more = Process32FirstW(list.get(), &item); more; more = Process32NextW(list.get(), &item)) {
    if (item.th32ProcessID == 0) continue;
    UniqueHandle process(OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, item.th32ProcessID));
    const DWORD open_error = process ? 0 : GetLastError();
    // Refused the rest, the process may still say what it is, through a handle that goes at once.
    const UniqueHandle look(process ? nullptr
                                    : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, item.th32ProcessID));
    const HANDLE inspect = process ? process.get() : look.get();
    ProcessEntry entry{item.th32ProcessID, item.th32ParentProcessID, 0, from_wide(item.szExeFile),
                       std::nullopt};
    std::optional<std::string> image;
    if (inspect) {
      entry.created = process_creation_time(inspect);
      image = process_image_path(inspect);
    }
    if (!is_listed_process(entry.name, image, entry.created, taken)) continue;
    if (image) entry.image = unresolved(std::move(*image));
    snapshot.entries.push_back(std::move(entry));
    snapshot.handles.push_back(std::move(process));
    snapshot.open_errors.push_back(open_error);
  }
  return snapshot;
}

}  // namespace koravane
