#pragma once
// The launcher's entry in the per-user list of installed programs: removed whole once nothing of
// the launcher is left for the person to finish; while the way back is kept, it names the root, so
// that the uninstaller it starts finds its root again whatever its run log could keep.
#include <optional>
#include <string>
#include <string_view>

#include "platform/basics/result.h"

namespace koravane {

// The registration's value that names the install's folder.
inline constexpr std::string_view kInstallLocationValue = "InstallLocation";

// The key as the run log names it: "HKCU\Software\...\Uninstall\KoraVane".
std::string uninstall_key_item();

// Windows only. Removes the key with its values and subkeys; a missing key counts as removed.
[[nodiscard]] OsStatus remove_uninstall_registration();

// Windows only. Writes what a second run needs into the key, made when missing: the root's final
// path as its install location, the root's uninstaller (quoted) as the command the list of
// installed programs starts, and the name it shows where the key has none. Other values stay.
[[nodiscard]] OsStatus name_root_in_registration(std::string_view final_root);

// Windows only. The folder the key names as the install's, when it names one.
std::optional<std::string> registered_install_location();

}  // namespace koravane
