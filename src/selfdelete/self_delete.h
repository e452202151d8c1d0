#pragma once
// Hands paths the running uninstaller cannot delete to a hidden batch script that runs after it.
#include <string>
#include <string_view>
#include <vector>

#include "platform/context/run_context.h"
#include "platform/context/run_log.h"
#include "removal/steps/what_stayed.h"
#include "selfdelete/script_text.h"

namespace koravane {

// Writes the script for the paths, owned by owner, as "koravane-uninstall-{pid}.cmd" of this
// process into folder, replacing a script of that name; ERROR_NO_UNICODE_TRANSLATION when some
// path has no form in the OEM code page.
OsStatus write_self_deletion_script(const std::vector<std::string>& deferred_paths,
                                    const ScriptOwner& owner, std::string_view folder);

// Writes "koravane-uninstall-{pid}.cmd" into the temporary folder and starts it there without
// waiting; logs "scheduled delete via {script}" once the interpreter has started, else
// "fail {script}: {error}" (the script could not be written, or the interpreter not started).
// The paths are absolute: the script runs in another folder. The script ends owner if it is still
// running after the script's wait.
void schedule_self_deletion(const std::vector<std::string>& deferred_paths, const RunLog& log,
                            const ScriptOwner& owner);

// The same, owned by this process: the call a run ends with. launcher_by_image: whether every
// running "KoraVane.exe" is this install's (see ScriptOwner). The script also removes the run's
// own working folder, where it can name it.
void schedule_self_deletion(const std::vector<std::string>& deferred_paths, const RunContext& context,
                            bool launcher_by_image);

// The deferred paths as the script names them (see script_spelling), in order. What a path holds
// is measured, and its 8.3 form asked for only where it is too long as it is or has a character
// outside the OEM code page.
struct ScriptPaths {
  std::vector<std::string> named;
  // The paths with no form the script takes, with why (see script_code): each is left out, stays,
  // and the log says "fail {path}: {error}".
  StayedEntries left;
};
ScriptPaths script_paths(const std::vector<std::string>& deferred_paths, const RunLog& log);

}  // namespace koravane
