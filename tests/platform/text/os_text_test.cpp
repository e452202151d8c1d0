#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/text/os_text.h"

namespace koravane {
namespace {

constexpr char32_t kFffd = 0xFFFD;

struct DecodeCase {
  std::string bytes;
  std::u32string points;
};

// Each bad byte becomes one U+FFFD and decoding moves on by exactly that byte, so whatever
// follows a broken sequence is read again on its own.
TEST(OsText, MalformedUtf8DecodesToReplacementOneBadByteAtATime) {
  const DecodeCase cases[] = {
      {"\x80", {kFffd}},
      {"a\xBF" "b", {U'a', kFffd, U'b'}},
      {"\xFF", {kFffd}},
      {"\xFE\xF8\xC0", {kFffd, kFffd, kFffd}},
      // Truncated sequences, at the end and before ASCII.
      {"\xC3", {kFffd}},
      {"\xE2\x82", {kFffd, kFffd}},
      {"\xF0\x9F\x98", {kFffd, kFffd, kFffd}},
      {"\xE2\x82" "a", {kFffd, kFffd, U'a'}},
      {"\xF0\x9F" "\xC3\xA9", {kFffd, kFffd, 0xE9}},
      // Overlong forms of the largest value one length shorter.
      {"\xC0\x80", {kFffd, kFffd}},
      {"\xC1\xBF", {kFffd, kFffd}},
      {"\xE0\x9F\xBF", {kFffd, kFffd, kFffd}},
      {"\xF0\x8F\xBF\xBF", {kFffd, kFffd, kFffd, kFffd}},
      // Above U+10FFFF.
      {"\xF4\x90\x80\x80", {kFffd, kFffd, kFffd, kFffd}},
      {"\xF7\xBF\xBF\xBF", {kFffd, kFffd, kFffd, kFffd}},
      // The smallest and largest value of each length decode.
      {std::string("\0", 1), {0}},
      {"\x7F", {0x7F}},
      {"\xC2\x80", {0x80}},
      {"\xDF\xBF", {0x7FF}},
      {"\xE0\xA0\x80", {0x800}},
      {"\xEF\xBF\xBF", {0xFFFF}},
      {"\xF0\x90\x80\x80", {0x10000}},
      {"\xF4\x8F\xBF\xBF", {0x10FFFF}},
      // Surrogates in generalized UTF-8 are not real text.
      {"\xED\xA0\x80", {kFffd}},
      {"\xED\xBF\xBF", {kFffd}},
      {"\xED\x9F\xBF", {0xD7FF}},
      {"\xEE\x80\x80", {0xE000}},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(code_points(c.bytes), c.points) << testing::PrintToString(c.bytes);
    EXPECT_EQ(utf8_from_code_points(code_points(display_text(c.bytes))), display_text(c.bytes));
  }
}

TEST(OsText, DisplayTextRoundTripsValidUtf8AndReplacesTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"\xE2\x82" "a", "\xEF\xBF\xBD\xEF\xBF\xBD" "a"},
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD"},
  };
  for (const auto& [bytes, shown] : cases) {
    EXPECT_EQ(display_text(bytes), shown) << testing::PrintToString(bytes);
  }
}

// Every two-byte input ends, yields at most one code point per byte and never an empty result.
TEST(OsText, DecodingAlwaysEndsWithProgress) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string bytes = {static_cast<char>(first), static_cast<char>(second)};
      const std::u32string points = code_points(bytes);
      ASSERT_GE(points.size(), 1u);
      ASSERT_LE(points.size(), 2u);
      ASSERT_LE(utf16_from_wtf8(bytes).size(), 2u);
    }
  }
}

TEST(OsText, Utf16ConversionsAtTheSurrogateAndLengthEdges) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"\x7F", "\x7F"},
      {u"\x80", "\xC2\x80"},
      {u"\x7FF", "\xDF\xBF"},
      {u"\x800", "\xE0\xA0\x80"},
      {u"\xD7FF", "\xED\x9F\xBF"},
      {u"\xE000", "\xEE\x80\x80"},
      {u"\xFFFF", "\xEF\xBF\xBF"},
      {{0xD800, 0xDC00}, "\xF0\x90\x80\x80"},
      {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
      {{0xDBFF, 0xDC00}, "\xF4\x8F\xB0\x80"},
      {{0xD800, 0xDBFF}, "\xED\xA0\x80\xED\xAF\xBF"},
      {{0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},
      {{0xDC00, 0xDC00}, "\xED\xB0\x80\xED\xB0\x80"},
      {{0xD800, 0xE000}, "\xED\xA0\x80\xEE\x80\x80"},
      {{0xD7FF, 0xDC00}, "\xED\x9F\xBF\xED\xB0\x80"},
      {{0xDFFF}, "\xED\xBF\xBF"},
      {{0xD800}, "\xED\xA0\x80"},
  };
  for (const auto& [units, wtf8] : cases) {
    EXPECT_EQ(wtf8_from_utf16(units), wtf8) << testing::PrintToString(wtf8);
    EXPECT_EQ(utf16_from_wtf8(wtf8), units) << testing::PrintToString(wtf8);
  }
  EXPECT_EQ(utf16_from_wtf8("\xF0\x9F\x98"), std::u16string(3, 0xFFFD));
}

TEST(OsText, WhiteSpacePropertyAtItsEdges) {
  for (char32_t c : {0x09, 0x0A, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000, 0x200A, 0x2028, 0x2029,
                     0x202F, 0x205F, 0x3000}) {
    EXPECT_TRUE(is_unicode_white_space(c)) << std::hex << static_cast<uint32_t>(c);
  }
  for (char32_t c : {0x00, 0x08, 0x0E, 0x1F, 0x21, 0x84, 0x86, 0x9F, 0xA1, 0x167F, 0x1681, 0x1FFF,
                     0x200B, 0x2027, 0x202A, 0x202E, 0x2030, 0x205E, 0x2060, 0x2FFF, 0x3001,
                     0xFEFF}) {
    EXPECT_FALSE(is_unicode_white_space(c)) << std::hex << static_cast<uint32_t>(c);
  }
}

TEST(OsText, TrimKeepsInnerTextWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"a", "a"},
      {" a", "a"},
      {"a ", "a"},
      {"\xC2\x85x\xE3\x80\x80", "x"},
      {"\xD0\x98", "\xD0\x98"},
      {"  \xD0\x98 \xD0\x92  ", "\xD0\x98 \xD0\x92"},
      {"\xE2\x80\xAF\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {" \x80 ", "\x80"},
  };
  for (const auto& [text, trimmed] : cases) {
    EXPECT_EQ(trim_white_space(text), trimmed) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace koravane
