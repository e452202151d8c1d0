#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

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

struct WithinCase {
  const char* path;
  const char* area;
  bool within;
};

// The rule that decides which running programs a removal may close: whatever the spelling, a
// path lies within its area and never within a look-alike sibling.
TEST(PathText, LiesWithinByComponentsWhateverTheSpelling) {
  const WithinCase cases[] = {
      {"C:\\Games\\KoraVane\\runtime\\bin\\javaw.exe", "C:\\Games\\KoraVane", true},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane", true},
      {"c:\\games\\koravane\\Update.exe", "C:\\GAMES\\KoraVane\\", true},
      {"C:/Games/KoraVane/app-1.5.84/KoraVane.exe", "C:\\Games\\KoraVane", true},
      {"\\\\?\\C:\\Games\\KoraVane\\x.exe", "C:\\Games\\KoraVane", true},
      {"C:\\Games\\KoraVane\\x.exe", "\\\\?\\C:\\Games\\KoraVane\\\\", true},
      {"\\??\\C:\\Games\\KoraVane\\x.exe", "C:\\Games\\KoraVane", true},
      {"C:\\Users\\ИВАН\\KoraVane\\x.exe", "c:\\users\\иван\\koravane", true},
      {"\\\\?\\UNC\\srv\\share\\KoraVane\\x.exe", "\\\\SRV\\share\\KoraVane", true},
      {"C:\\x.exe", "C:\\", true},
      {"\\\\srv\\share\\x.exe", "\\\\srv\\share\\", true},
      {"C:\\Games\\KoraVane2\\x.exe", "C:\\Games\\KoraVane", false},
      {"C:\\Games\\KoraVane2", "C:\\Games\\KoraVane", false},
      {"C:\\Games\\KoraVane.old\\x.exe", "C:\\Games\\KoraVane", false},
      {"C:\\Games\\KoraVane Updater.exe", "C:\\Games\\KoraVane", false},
      {"C:\\Games", "C:\\Games\\KoraVane", false},
      {"D:\\Games\\KoraVane\\x.exe", "C:\\Games\\KoraVane", false},
      {"\\\\srv\\share2\\x.exe", "\\\\srv\\share", false},
      {"C:\\Games\\KoraVane\\x.exe", "", false},
      {"", "", false},
  };
  for (const WithinCase& c : cases) {
    EXPECT_EQ(lies_within(c.path, c.area), c.within) << c.path << " within " << c.area;
  }
}

struct ParentCase {
  const char* path;
  std::optional<std::string> parent;
  const char* file_name;
};

// Edge spellings: one-letter names, "." and "..", drive-relative and bare drives, the verbatim
// UNC form (where '/' is an ordinary character) and the device namespace.
TEST(PathText, ParentAndFileNameAtTheEdges) {
  const ParentCase cases[] = {
      {"D:\\K", "D:\\", "K"},
      {"D:\\K\\L", "D:\\K", "L"},
      {"D:\\K\\", "D:\\", "K"},
      {"D:/K/L", "D:/K", "L"},
      {"D:", std::nullopt, ""},
      {"D:\\", std::nullopt, ""},
      {"C:name", "C:", "name"},
      {"C:a\\b", "C:a", "b"},
      {"\\", std::nullopt, ""},
      {"\\a", "\\", "a"},
      {"//", std::nullopt, ""},
      {"//a", std::nullopt, ""},
      {"\\\\server\\share", std::nullopt, ""},
      {"\\\\server\\share\\\\d", "\\\\server\\share\\", "d"},
      {".", "", ""},
      {"..", "", ""},
      {".\\x", ".", "x"},
      {"x\\.", "", "x"},
      {"C:\\.", std::nullopt, ""},
      {"C:\\..", "C:\\", ""},
      {"C:\\a\\..", "C:\\a", ""},
      {"C:\\a\\.", "C:\\", "a"},
      {"C:\\.a", "C:\\", ".a"},
      {"C:\\...", "C:\\", "..."},
      {"\\\\?\\UNC\\server\\share\\dir", "\\\\?\\UNC\\server\\share\\", "dir"},
      {"\\\\?\\UNC\\server\\share\\", std::nullopt, ""},
      {"\\\\?\\UNC\\server\\share", std::nullopt, ""},
      {"\\\\?\\UNC\\server\\share\\a\\b", "\\\\?\\UNC\\server\\share\\a", "b"},
      {"\\\\?\\C:\\", std::nullopt, ""},
      {"\\\\?\\C:\\x", "\\\\?\\C:\\", "x"},
      {"\\\\?\\C:\\a/b", "\\\\?\\C:\\", "a/b"},
      {"\\\\?\\C:\\a\\b/", "\\\\?\\C:\\a", "b/"},
      {"\\\\.\\PIPE\\x", "\\\\.\\PIPE\\", "x"},
      {"\\\\.\\PIPE", std::nullopt, ""},
  };
  for (const ParentCase& c : cases) {
    EXPECT_EQ(parent_path(c.path), c.parent) << c.path;
    EXPECT_EQ(path_file_name(c.path), c.file_name) << c.path;
  }
}

TEST(PathText, RootLengthCoversDrivesSharesAndPrefixes) {
  const std::pair<const char*, size_t> cases[] = {
      {"", 0},
      {"a", 0},
      {"a:", 2},
      {"D:", 2},
      {"D:x", 2},
      {"D:\\", 3},
      {"D:/x", 3},
      {"\\", 1},
      {"/x", 1},
      {"//", 2},
      {"\\\\srv", 5},
      {"\\\\srv\\", 6},
      {"\\\\srv\\share", 11},
      {"\\\\srv\\share\\x", 12},
      {"\\\\srv/share/x", 12},
      {"\\\\?\\C:", 6},
      {"\\\\?\\C:\\x", 7},
      {"\\\\?\\C:/x", 8},
      {"\\\\?\\UNC\\srv\\share\\x", 18},
      {"\\\\?\\UNC\\srv", 11},
      {"\\\\.\\PIPE\\x", 9},
      {"\\\\?/C:/x", 7},
      {"\\\\.", 3},
  };
  for (const auto& [path, length] : cases) EXPECT_EQ(path_root_length(path), length) << path;
}

// Separators: repeats collapse everywhere except the two that open a UNC path; a root keeps its
// own trailing separator.
TEST(PathText, ComparableSeparators) {
  const std::pair<const char*, const char*> cases[] = {
      {"//", "\\\\"},
      {"a//b", "a\\b"},
      {"a\\\\\\b\\\\", "a\\b"},
      {"C:\\\\\\a", "c:\\a"},
      {"C:/", "c:\\"},
      {"C:", "c:"},
      {"\\", "\\"},
      {"//Srv//Share//", "\\\\srv\\share\\"},
      {"\\??\\C:\\X\\", "c:\\x"},
      {"\\\\?\\UNC\\S\\H\\D\\", "\\\\s\\h\\d"},
      {"\\??\\UNC\\S\\H\\D\\", "\\\\s\\h\\d"},
      {"\\??\\UNC\\S\\H", "\\\\s\\h"},
      {"", ""},
  };
  for (const auto& [path, comparable] : cases) EXPECT_EQ(comparable_path(path), comparable) << path;
}

// Each folded range at its first and last capital, and the characters just outside it, which
// stay as written. Folding maps capitals to small letters, so the small forms are fixed points.
TEST(PathText, ComparableCaseFoldingRanges) {
  const std::pair<const char*, const char*> cases[] = {
      // ASCII
      {"@", "@"}, {"A", "a"}, {"Z", "z"}, {"[", "["}, {"`", "`"}, {"{", "{"},
      // Latin-1: À..Þ without the multiplication sign; ß and ÷ are not capitals.
      {"\u00BF", "\u00BF"}, {"\u00C0", "\u00E0"}, {"\u00D6", "\u00F6"},
      {"\u00D7", "\u00D7"}, {"\u00D8", "\u00F8"}, {"\u00DE", "\u00FE"},
      {"\u00DF", "\u00DF"}, {"\u00E0", "\u00E0"}, {"\u00F7", "\u00F7"}, {"\u00FE", "\u00FE"},
      // Greek: Α..Ϋ without the unassigned U+03A2.
      {"\u0390", "\u0390"}, {"\u0391", "\u03B1"}, {"\u03A1", "\u03C1"},
      {"\u03A2", "\u03A2"}, {"\u03A3", "\u03C3"}, {"\u03AB", "\u03CB"},
      {"\u03AC", "\u03AC"}, {"\u03B1", "\u03B1"},
      // Cyrillic: Ѐ..Џ to ѐ..џ, А..Я to а..я.
      {"\u03FF", "\u03FF"}, {"\u0400", "\u0450"}, {"\u0401", "\u0451"}, {"\u040F", "\u045F"},
      {"\u0410", "\u0430"}, {"\u042F", "\u044F"}, {"\u0430", "\u0430"}, {"\u044F", "\u044F"},
      {"\u0450", "\u0450"}, {"\u045F", "\u045F"}, {"\u0460", "\u0460"},
  };
  for (const auto& [letter, folded] : cases) {
    EXPECT_EQ(comparable_path(letter), folded) << letter;
    EXPECT_EQ(comparable_path(std::string("x\\") + letter), std::string("x\\") + folded) << letter;
  }
}

// A target that climbs out of a folder by ".." lies outside it, and one that climbs back in
// lies inside: both are told by the resolved path, not by how it starts.
TEST(PathText, LexicallyNormalResolvesDotsByText) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Games\\KoraVane\\..\\Other\\x.exe", "C:\\Games\\Other\\x.exe"},
      {"C:\\Games\\Other\\..\\KoraVane\\.\\Update.exe", "C:\\Games\\KoraVane\\Update.exe"},
      {"C:/Games//KoraVane/", "C:\\Games\\KoraVane"},
      {"C:\\..\\..\\x", "C:\\x"},
      {"\\\\srv\\share\\..\\x", "\\\\srv\\share\\x"},
      {"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\a\\..\\b"},
      {"a\\..\\..\\b", "..\\b"},
      {"..\\..\\b", "..\\..\\b"},
      {".\\a\\.\\b", "a\\b"},
      {"C:", "C:"},
      {"", ""},
  };
  for (const auto& [path, normal] : cases) EXPECT_EQ(lexically_normal(path), normal) << path;
  for (const char* path : {"C:\\", "C:\\x", "c:/x", "\\\\srv\\share", "\\\\?\\C:\\x"}) {
    EXPECT_TRUE(is_fully_qualified(path)) << path;
  }
  for (const char* path : {"C:x", "C:", "\\x", "x\\y", "", "cmd.exe"}) EXPECT_FALSE(is_fully_qualified(path)) << path;
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

// Long paths reach the system in the verbatim form, resolved by text first; short, relative and
// device paths as they are.
TEST(PathText, SystemFormOfLongPaths) {
  const std::string deep(kLongPathFrom, 'd');
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane"},
      {"C:\\" + deep, "\\\\?\\C:\\" + deep},
      {"C:/x/../" + deep + "/./y", "\\\\?\\C:\\" + deep + "\\y"},
      {"\\\\server\\share\\" + deep, "\\\\?\\UNC\\server\\share\\" + deep},
      {"\\\\?\\C:\\" + deep, "\\\\?\\C:\\" + deep},
      {"\\\\.\\C:\\" + deep, "\\\\.\\C:\\" + deep},
      {deep, deep},
      {"C:" + deep, "C:" + deep},
  };
  for (const Case& c : cases) EXPECT_EQ(system_path_form(c.path), c.expected) << c.path.substr(0, 12);
  EXPECT_EQ(system_path_form("C:\\" + std::string(kLongPathFrom - 4, 'd')), "C:\\" + std::string(kLongPathFrom - 4, 'd'));
}

}  // namespace
}  // namespace koravane
