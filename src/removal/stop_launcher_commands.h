#pragma once
// The task-kill children that end the launcher and its updater before anything is removed.
#include <array>
#include <string_view>
#include <vector>

#include "platform/child_process.h"
#include "platform/run_context.h"
#include "removal/removal_steps.h"

namespace koravane {

// The image names, in the order they are ended. "Update.exe" and "Uninstall.exe" are not here:
// both names are common among other programs' updaters and uninstallers. The root's own updater
// goes with the programs running from the root, and this program ends by itself.
inline constexpr std::array<std::string_view, 3> kLauncherImages = {
    "KoraVane.exe", "KoraVane Updater.exe", "KoraVane-Updater.exe"};

// One awaited, windowless child per image: tool /F /IM image /T, output and errors discarded.
std::vector<ChildCommand> launcher_stop_commands(std::string_view task_kill_program = "taskkill");

// Windows only: runs each command to its end, dropping every outcome, then closes or ends the
// programs running from what the mode removes (see running_programs.h), then pauses at least
// 800 ms so that the ended processes release their files.
void stop_processes(const std::vector<ChildCommand>& commands, const RunContext& context,
                    RemovalMode mode);

}  // namespace koravane
