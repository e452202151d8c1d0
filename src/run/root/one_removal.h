#pragma once
// One removal per install at a time: a run holds a lock named after its root for as long as it
// runs, and a second run on the same folder, by whatever spelling, finds it taken.
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/path_identity.h"

namespace koravane {

// The lock's name: from the root's identity on its volume when it can be had, else from its final
// path, compared without case.
std::string removal_lock_name(const std::optional<FileIdentity>& identity, std::string_view final_path);

// The temporary log's line of a run that found another run of its root only asking, and brought
// that run's dialog to the front instead of showing anything of its own.
std::string_view asking_elsewhere_line();

}  // namespace koravane
