#include <windows.h>

#include <string>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "run/root/working_folder.h"

namespace koravane {

void leave_working_folder() {
  // Nothing to say when this fails: a folder of the root that the run holds is then named with
  // what stayed.
  if (const OsResult<std::string> system = system_directory()) {
    (void)SetCurrentDirectoryW(to_wide(system.value()).c_str());
  }
}

}  // namespace koravane
