#pragma once
// One snapshot of the system's process list, each process inspected through a handle of its own.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "platform/processes/processes.h"

namespace koravane {

// entries[i] was read through handles[i], which is empty where the process would not open; then
// open_errors[i] says why (0 where it opened). A handle holds its process: whatever is later done
// through it reaches the process the entry describes, even once its id has gone to another.
struct ProcessSnapshot {
  std::vector<ProcessEntry> entries;
  std::vector<UniqueHandle> handles;
  std::vector<uint32_t> open_errors;
};

// Every process but the idle one, each kept open with access and PROCESS_QUERY_LIMITED_INFORMATION
// where the system allows that (elsewhere its entry is still read as far as it can be). A listed
// id that, opened, shows another process than the list named is left out (is_listed_process).
// Empty when the system gives no list.
ProcessSnapshot snapshot_processes(DWORD access);

// The full path of the process's executable, or nothing when the system will not say.
std::optional<std::string> process_image_path(HANDLE process);

// The creation time of the process as a FILETIME count, 0 when the system will not say.
uint64_t process_creation_time(HANDLE process);

}  // namespace koravane
