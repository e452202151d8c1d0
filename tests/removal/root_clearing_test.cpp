#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "removal/root_clearing.h"

namespace koravane {
namespace {

struct HoldingCase {
  const char* root;
  const char* path;
  std::optional<std::string> entry;
};

TEST(RootClearing, FindsTheTopLevelEntryHoldingTheExecutable) {
  const HoldingCase cases[] = {
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane\\Uninstall.exe", "uninstall.exe"},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane\\tools\\bin\\Uninstall.exe", "tools"},
      {"C:\\Games\\KoraVane\\", "C:\\Games\\KoraVane\\Uninstall.exe", "uninstall.exe"},
      // Another spelling of the same place: case (Latin and Cyrillic), separators, prefixes.
      {"c:\\users\\иван\\koravane", "C:\\Users\\ИВАН\\KoraVane\\Uninstall.exe", "uninstall.exe"},
      {"C:/Games//KoraVane", "C:\\GAMES\\KoraVane\\App-Tools\\U.exe", "app-tools"},
      {"C:\\Games\\KoraVane", "\\\\?\\C:\\Games\\KoraVane\\Uninstall.exe", "uninstall.exe"},
      {"\\\\srv\\share\\KoraVane", "\\\\?\\UNC\\SRV\\share\\KoraVane\\x\\Uninstall.exe", "x"},
      {"D:\\", "D:\\Uninstall.exe", "uninstall.exe"},
      // Elsewhere: a sibling whose name starts like the root, the root itself, a parent, another
      // drive.
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane2\\Uninstall.exe", std::nullopt},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane.exe", std::nullopt},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane", std::nullopt},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane\\", std::nullopt},
      {"C:\\Games\\KoraVane", "C:\\Games\\Uninstall.exe", std::nullopt},
      {"C:\\Games\\KoraVane", "D:\\Games\\KoraVane\\Uninstall.exe", std::nullopt},
      {"D:\\", "D:\\", std::nullopt},  // a drive root holds no entry named ""
  };
  for (const HoldingCase& c : cases) {
    EXPECT_EQ(entry_holding(c.root, c.path), c.entry) << c.root << " | " << c.path;
  }
}

// The executable is inside the root when what they are says so, whatever spelled either of them;
// their spellings still count where nothing resolved.
TEST(RootClearing, FindsTheEntryByWhatRootAndExecutableAre) {
  struct Case {
    PathForms root;
    PathForms path;
    std::optional<std::string> entry;
  };
  const Case cases[] = {
      {{"C:\\GAMES~1\\KORAVA~1", "C:\\Games\\KoraVane"}, spelled_only("C:\\Games\\KoraVane\\app-1\\Uninstall.exe"), "app-1"},
      {{"K:\\link", "C:\\Games\\KoraVane"}, {"K:\\link\\Uninstall.exe", "C:\\Games\\KoraVane\\Uninstall.exe"}, "uninstall.exe"},
      {spelled_only("C:\\Games\\KoraVane"), {"C:\\Games\\KoraVane\\x.exe", "D:\\Else\\x.exe"}, "x.exe"},
      {{"K:\\link", "C:\\Games\\KoraVane"}, spelled_only("C:\\Games\\KoraVane2\\Uninstall.exe"), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(entry_holding(c.root, c.path), c.entry) << c.root.spelled << " | " << c.path.spelled;
}

}  // namespace
}  // namespace koravane
