#include <gtest/gtest.h>

#include "platform/files/env.h"

namespace koravane {
namespace {

// A known folder the manager lists but cannot resolve (Wine: the per-user Programs folder) is
// protected at its usual place. Categories as KF_CATEGORY: 1 virtual, 2 fixed, 3 common, 4 per-user.
TEST(KnownFolders, TheUsualPlaceIsComposedFromTheDefinitionOnlyAsAFullyQualifiedFolderBelowItsBase) {
  struct Case {
    const char* what;
    KnownFolderDefinition definition;
    const char* profile;
    std::optional<std::string> expected;
  };
  const std::optional<std::string> local = "C:\\Users\\Иван\\AppData\\Local";
  const Case cases[] = {
      {"per-user Programs below its parent", {4, true, local, "Programs"}, "", "C:\\Users\\Иван\\AppData\\Local\\Programs"},
      {"a parent on a share", {3, true, "\\\\srv\\home\\", "Programs"}, "", "\\\\srv\\home\\Programs"},
      {"per-user without a parent", {4, false, std::nullopt, "Saved Games"}, "C:\\Users\\Иван", "C:\\Users\\Иван\\Saved Games"},
      {"dots that stay below", {4, true, local, "a\\..\\Programs"}, "", "C:\\Users\\Иван\\AppData\\Local\\Programs"},
      {"a parent it cannot place", {4, true, std::nullopt, "Programs"}, "C:\\Users\\Иван", std::nullopt},
      {"a relative parent", {4, true, "AppData\\Local", "Programs"}, "C:\\Users\\Иван", std::nullopt},
      {"a drive-relative parent", {4, true, "C:Local", "Programs"}, "", std::nullopt},
      {"no profile", {4, false, std::nullopt, "Saved Games"}, "", std::nullopt},
      {"fixed without a parent", {2, false, std::nullopt, "Windows"}, "C:\\Users\\Иван", std::nullopt},
      {"virtual", {1, true, local, "Programs"}, "", std::nullopt},
      {"no relative path", {4, true, local, ""}, "", std::nullopt},
      {"a relative path that is absolute", {4, true, local, "D:\\Programs"}, "", std::nullopt},
      {"a relative path from the drive's root", {4, true, local, "\\Programs"}, "", std::nullopt},
      {"dots that climb out", {4, true, local, "..\\..\\Roaming"}, "", std::nullopt},
      {"dots that name the parent", {4, true, local, "."}, "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(composed_known_folder_path(c.definition, c.profile), c.expected) << c.what;
}

}  // namespace
}  // namespace koravane
