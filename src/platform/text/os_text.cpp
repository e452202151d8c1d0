#include "platform/text/os_text.h"

namespace koravane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes one generalized UTF-8 sequence at text[i] (surrogate code points allowed), advancing i.
// Returns U+FFFD for an invalid sequence and advances past its first byte only.
char32_t decode_one(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + length > text.size()) {
    ++i;
    return kReplacement;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF) {
    ++i;
    return kReplacement;
  }
  i += length;
  return c;
}

}  // namespace

std::string wtf8_from_utf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    append_utf8(out, c);
  }
  return out;
}

std::u16string utf16_from_wtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t c = decode_one(text, i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string display_text(std::string_view wtf8) {
  std::string out;
  out.reserve(wtf8.size());
  for (size_t i = 0; i < wtf8.size();) {
    const char32_t c = decode_one(wtf8, i);
    append_utf8(out, is_surrogate(c) ? kReplacement : c);
  }
  return out;
}

std::u32string code_points(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = decode_one(utf8, i);
    out += is_surrogate(c) ? kReplacement : c;
  }
  return out;
}

std::string utf8_from_code_points(std::u32string_view points) {
  std::string out;
  out.reserve(points.size());
  for (char32_t c : points) append_utf8(out, c);
  return out;
}

char32_t fold_case(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  std::u32string left = code_points(a);
  std::u32string right = code_points(b);
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (fold_case(left[i]) != fold_case(right[i])) return false;
  }
  return true;
}

bool same_ignoring_case(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && fold_case(a[i]) != fold_case(b[i])) return false;
  }
  return true;
}

bool is_unicode_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::string trim_white_space(std::string_view utf8) {
  // Byte offsets of the first and one-past-last non-white-space code points.
  size_t begin = utf8.size();
  size_t end = 0;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    if (!is_unicode_white_space(decode_one(utf8, i))) {
      if (begin == utf8.size()) begin = start;
      end = i;
    }
  }
  return begin < end ? std::string(utf8.substr(begin, end - begin)) : std::string();
}

}  // namespace koravane
