#include <windows.h>

#include <string>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "run/root/working_folder.h"

namespace koravane {
namespace {

void enter_system_folder() {
  // Nothing to say when this fails: a folder of the root that the run holds is then named with
  // what stayed.
  if (const OsResult<std::string> system = system_directory()) {
    (void)SetCurrentDirectoryW(to_wide(system.value()).c_str());
  }
}

// A folder made now and entered, "-2" to "-4" after the name where one is there already; empty
// where none could be.
std::string make_and_enter(const std::string& temp) {
  const std::string first = join_path(temp, "koravane-run-" + std::to_string(current_process_id()));
  for (char attempt = '1'; attempt <= '4'; ++attempt) {
    const std::string folder = attempt == '1' ? first : first + '-' + attempt;
    const std::wstring wide = to_wide(folder);
    if (CreateDirectoryW(wide.c_str(), nullptr)) {
      if (SetCurrentDirectoryW(wide.c_str())) return folder;
      (void)RemoveDirectoryW(wide.c_str());  // made and empty, but no working folder (too long, say)
      return {};
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace

std::string enter_run_folder() {
  const OsResult<std::string> temp = temp_folder();
  // A relative temporary folder would be made in the folder the run is leaving.
  std::string folder = temp && is_fully_qualified(temp.value()) ? make_and_enter(temp.value()) : std::string();
  if (folder.empty()) enter_system_folder();
  return folder;
}

void leave_run_folder(const std::string& folder) {
  if (folder.empty()) return;
  enter_system_folder();
  // Nothing to say where it cannot go (something the run started still works there): an empty
  // folder in the temporary folder, which the deferred script takes when there is one.
  (void)RemoveDirectoryW(to_wide(folder).c_str());
}

}  // namespace koravane
