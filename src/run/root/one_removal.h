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

}  // namespace koravane
