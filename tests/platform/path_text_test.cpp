#include <gtest/gtest.h>

#include "platform/os_text.h"
#include "platform/path_text.h"

namespace koravane {
namespace {

TEST(PathText, JoinAddsOneSeparatorOnlyWhereNeeded) {
  EXPECT_EQ(join_path("C:\\Games", "x"), "C:\\Games\\x");
  EXPECT_EQ(join_path("C:\\Temp\\", "x"), "C:\\Temp\\x");
  EXPECT_EQ(join_path("", "x"), "x");
}

TEST(PathText, ParentFollowsWindowsComponents) {
  EXPECT_EQ(parent_path("C:\\Games\\Launcher\\app-1.5.84\\KoraVane.exe"),
            "C:\\Games\\Launcher\\app-1.5.84");
  EXPECT_EQ(parent_path("C:\\Games"), "C:\\");
  EXPECT_EQ(parent_path("C:\\Games\\Launcher\\\\"), "C:\\Games");
  EXPECT_EQ(parent_path("KoraVane.exe"), "");
  EXPECT_EQ(parent_path("C:\\"), std::nullopt);
  EXPECT_EQ(parent_path("\\\\server\\share\\"), std::nullopt);
  EXPECT_EQ(parent_path("\\\\server\\share\\dir"), "\\\\server\\share\\");
  EXPECT_EQ(parent_path(""), std::nullopt);
  EXPECT_EQ(path_file_name("C:\\Games\\app-2\\"), "app-2");
  EXPECT_EQ(path_file_name("C:\\"), "");
}

TEST(PathText, ComparablePathsIgnoreCaseSeparatorsAndPrefixes) {
  EXPECT_EQ(comparable_path("C:/Users//ИВАН\\Desktop\\"), "c:\\users\\иван\\desktop");
  EXPECT_EQ(comparable_path("\\\\?\\C:\\Games\\"), "c:\\games");
  EXPECT_EQ(comparable_path("\\\\?\\UNC\\Server\\Share\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(comparable_path("C:\\"), "c:\\");
  EXPECT_EQ(comparable_path("Ё:\\ЁЛКА"), "ё:\\ёлка");
}

TEST(OsText, UnpairedSurrogatesSurviveARoundTripAndDisplayAsReplacement) {
  const std::u16string raw = {u'a', 0xD800, u'b', 0xD83D, 0xDE00};
  const std::string wtf8 = wtf8_from_utf16(raw);
  EXPECT_EQ(utf16_from_wtf8(wtf8), raw);
  EXPECT_EQ(display_text(wtf8), "a\xEF\xBF\xBD" "b\xF0\x9F\x98\x80");
}

TEST(OsText, TrimUsesTheWhiteSpaceProperty) {
  EXPECT_EQ(trim_white_space("\xC2\xA0 \t\xE3\x80\x80 a b\n\xE2\x80\xA8"), "a b");
  EXPECT_EQ(trim_white_space(" \n "), "");
}

}  // namespace
}  // namespace koravane
