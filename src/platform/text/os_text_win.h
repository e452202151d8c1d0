#pragma once
// The Windows edge of the text conversions: wchar_t is a UTF-16 unit here.
#include <string>
#include <string_view>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring to_wide(std::string_view wtf8) {
  const std::u16string units = utf16_from_wtf8(wtf8);
  return std::wstring(units.begin(), units.end());
}

// A path for the system's file calls (see system_path_form).
inline std::wstring to_system_path(std::string_view path) { return to_wide(system_path_form(path)); }

inline std::string from_wide(std::wstring_view text) {
  return wtf8_from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace koravane
