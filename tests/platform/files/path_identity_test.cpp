#include <gtest/gtest.h>

#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

// Namespace prefixes before a drive or a share name the same place as the plain form; before
// anything else (a volume, a pipe) they are part of the name.
TEST(PathIdentity, NamespacePrefixesOfDrivesAndSharesCompareAsThePlainForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"\\\\.\\C:\\Users\\Иван", "c:\\users\\иван"},
      {"\\\\.\\UNC\\Srv\\Share\\x", "\\\\srv\\share\\x"},
      {"\\\\?\\unc\\Srv\\Share", "\\\\srv\\share"},
      {"\\\\?\\Volume{7E1C}\\Users", "\\\\?\\volume{7e1c}\\users"},
      {"\\\\.\\PIPE\\x", "\\\\.\\pipe\\x"},
      {"\\\\?\\Pic\\x", "\\\\?\\pic\\x"},
      {"\\\\.\\1:\\x", "\\\\.\\1:\\x"},
  };
  for (const auto& [path, comparable] : cases) EXPECT_EQ(comparable_path(path), comparable) << path;
  EXPECT_TRUE(lies_within("\\\\.\\C:\\Users\\Иван\\Downloads", "C:\\Users"));
}

TEST(PathIdentity, FinalPathsLoseTheirVerbatimPrefix) {
  EXPECT_EQ(without_namespace_prefix("\\\\?\\K:\\Users\\Иван"), "K:\\Users\\Иван");
  EXPECT_EQ(without_namespace_prefix("\\\\?\\UNC\\srv\\share\\x"), "\\\\srv\\share\\x");
  EXPECT_EQ(without_namespace_prefix("C:\\x"), "C:\\x");
}

// This machine's own drive through its administrative share is that drive; a share of another
// machine, or a share that is not a drive's, stays a network path.
TEST(PathIdentity, OwnAdministrativeSharesAreTheirDrives) {
  const std::vector<std::string> names = {"GAMING-PC", "gaming-pc.home.lan"};
  const std::pair<const char*, const char*> cases[] = {
      {"\\\\localhost\\C$\\Users\\Иван", "C:\\Users\\Иван"},
      {"\\\\?\\UNC\\LOCALHOST\\d$\\Games", "d:\\Games"},
      {"\\\\127.0.0.1\\C$", "C:\\"},
      {"\\\\localhost\\a$\\x", "a:\\x"},
      {"\\\\gaming-pc\\C$\\Users", "C:\\Users"},
      {"\\\\Gaming-PC.home.lan\\E$\\x", "E:\\x"},
      {"\\\\other-pc\\C$\\Users", "\\\\other-pc\\C$\\Users"},
      {"\\\\localhost\\Users\\x", "\\\\localhost\\Users\\x"},
      {"\\\\localhost\\C$x\\y", "\\\\localhost\\C$x\\y"},
      {"\\\\localhost\\1$\\y", "\\\\localhost\\1$\\y"},
      {"\\\\localhost\\z$\\y", "z:\\y"},
      {"C\\localhost\\C$\\y", "C\\localhost\\C$\\y"},  // relative: no server at all
      {"\\\\localhost", "\\\\localhost"},
      {"C:\\Users", "C:\\Users"},
  };
  for (const auto& [path, drive] : cases) EXPECT_EQ(local_share_as_drive(path, names), drive) << path;
}

TEST(PathIdentity, EitherFormOfAPathMayLieWithinEitherFormOfAnArea) {
  const PathForms area{"C:\\Users\\8E2A~1\\DOWNLO~1", "C:\\Users\\Иван\\Downloads"};
  EXPECT_TRUE(lies_within(spelled_only("c:\\users\\иван\\downloads\\x"), area));
  EXPECT_TRUE(lies_within(spelled_only("C:\\Users\\8E2A~1\\DOWNLO~1\\x"), area));
  EXPECT_TRUE(lies_within(PathForms{"K:\\link\\x", "C:\\Users\\Иван\\Downloads\\x"}, area));
  EXPECT_FALSE(lies_within(PathForms{"K:\\link\\x", "C:\\Users\\Иван\\Downloads2\\x"}, area));
  EXPECT_FALSE(lies_within_any(spelled_only("C:\\x"), {}));
  EXPECT_TRUE(forms_differ(area));
  EXPECT_FALSE(forms_differ(PathForms{"c:\\USERS\\иван\\", "C:\\Users\\Иван"}));
}

}  // namespace
}  // namespace koravane
