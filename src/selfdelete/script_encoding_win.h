#pragma once
// The system's OEM code page form of script text.
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

// utf8 in the OEM code page (GetOEMCP), or nothing when a character has no exact form there.
std::optional<std::string> encode_oem_lossless(std::string_view utf8);

}  // namespace koravane
