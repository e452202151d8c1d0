#pragma once
// The system's OEM code page form of script text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

// utf8 in the code page, or nothing when a character has no exact form there or the code page
// cannot tell (UTF-7, for one, refuses the check for best-fit characters).
std::optional<std::string> encode_lossless(uint32_t code_page, std::string_view utf8);

// utf8 in the OEM code page (GetOEMCP), or nothing when a character has no exact form there.
std::optional<std::string> encode_oem_lossless(std::string_view utf8);

}  // namespace koravane
