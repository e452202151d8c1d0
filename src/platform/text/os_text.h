#pragma once
// Text conversions between the system's UTF-16 and the program's 8-bit text.
//
// System text (paths, environment values) is held losslessly as WTF-8: well-formed UTF-16 becomes
// plain UTF-8 and an unpaired surrogate keeps its own three-byte form, so a path read from the
// system reaches the system again unchanged. Display text (run log, script, name comparison) is
// real UTF-8 with U+FFFD in place of anything that has no UTF-8 form.
#include <string>
#include <string_view>

namespace koravane {

std::string wtf8_from_utf16(std::u16string_view text);
// Inverse of wtf8_from_utf16; bytes that form no code point become U+FFFD.
std::u16string utf16_from_wtf8(std::string_view text);
// UTF-8 with every unpaired surrogate (and every invalid byte sequence) replaced by U+FFFD.
std::string display_text(std::string_view wtf8);
inline std::string display_text_from_utf16(std::u16string_view text) {
  return display_text(wtf8_from_utf16(text));
}

// Code points of well-formed UTF-8 (invalid sequences become U+FFFD) and back.
std::u32string code_points(std::string_view utf8);
std::string utf8_from_code_points(std::u32string_view points);

// Simple case folding for the scripts Windows names are likely to use: Latin (ASCII and
// Latin-1), Greek and Cyrillic. Other letters compare as written.
char32_t fold_case(char32_t c);
// Whether two names are one when case is ignored as above, code point by code point (ordinal).
bool same_ignoring_case(std::string_view a, std::string_view b);
// The same for UTF-16 names, unit by unit (a surrogate folds to itself).
bool same_ignoring_case(std::u16string_view a, std::u16string_view b);

// The Unicode White_Space property.
bool is_unicode_white_space(char32_t c);
// Removes leading and trailing White_Space characters; inner ones stay.
std::string trim_white_space(std::string_view utf8);

}  // namespace koravane
