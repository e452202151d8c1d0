#include <gtest/gtest.h>

#include "platform/text/path_text.h"
#include "run/root_safety.h"

namespace koravane {
namespace {

const std::vector<PathForms> kProtected = {
    spelled_only("C:\\Users\\Иван"),          spelled_only("C:\\Users\\Иван\\AppData\\Roaming"),
    spelled_only("C:\\Users\\Иван\\AppData\\Local"), spelled_only("C:\\Users\\Иван\\Desktop"),
    {"C:\\Users\\Иван\\Documents", "D:\\Документы"},  // moved to another drive through a link
    spelled_only("C:\\Users\\Иван\\Downloads"),
    spelled_only("C:\\windows"),              spelled_only("C:\\Program Files"),
    spelled_only("C:\\Users\\Иван\\AppData\\Local\\Temp\\")};

std::optional<RefusalReason> check(const PathForms& root, RootSource source = RootSource::target,
                                   bool markers = true) {
  const InstallRoot install_root{root.spelled, root.spelled, root.final, source,
                                 markers ? LauncherEvidence::markers : LauncherEvidence::none};
  return refusal_reason(install_root, kProtected);
}

std::optional<RefusalReason> check(std::string_view root, RootSource source = RootSource::target,
                                   bool markers = true) {
  return check(spelled_only(std::string(root)), source, markers);
}

TEST(RootSafety, VolumeRootsAreRecognised) {
  EXPECT_TRUE(is_volume_root(comparable_path("D:\\")));
  EXPECT_TRUE(is_volume_root(comparable_path("\\\\server\\share\\")));
  // A bare drive, a server without a share and the empty UNC prefix have nothing above them either.
  for (const char* root : {"D:", "\\\\server", "//"}) {
    EXPECT_TRUE(is_volume_root(comparable_path(root))) << root;
    EXPECT_EQ(check(root, RootSource::executable_folder), RefusalReason::protected_folder) << root;
  }
  EXPECT_FALSE(is_volume_root(comparable_path("D:\\Games")));
  EXPECT_FALSE(is_volume_root(comparable_path("\\\\server\\share\\Games")));
}

TEST(RootSafety, FallbackRootsNeedLauncherMarkers) {
  for (RootSource source : {RootSource::target, RootSource::current_directory, RootSource::dot}) {
    EXPECT_EQ(check("D:\\Files", source, false), RefusalReason::no_launcher_files);
    EXPECT_EQ(check("D:\\Games\\KoraVane", source, true), std::nullopt);
  }
  EXPECT_EQ(check("D:\\Games\\KoraVane", RootSource::executable_folder, false), std::nullopt);
}

TEST(RootSafety, ProtectedFoldersAndTheirAncestorsAreRefused) {
  for (const char* root : {"C:\\", "c:/", "\\\\srv\\share", "C:\\Users", "c:\\users\\иван\\",
                           "C:\\Users\\ИВАН\\Desktop", "C:\\Users\\Иван\\AppData",
                           "C:\\Users\\Иван\\AppData\\Local\\Temp", "C:\\WINDOWS",
                           "C:\\program files\\", "C:\\Users\\Иван\\Downloads"}) {
    EXPECT_EQ(check(root, RootSource::executable_folder), RefusalReason::protected_folder) << root;
  }
}

TEST(RootSafety, LauncherFoldersBelowProtectedOnesAreAllowed) {
  for (const char* root : {"C:\\Users\\Иван\\AppData\\Local\\KoraVane",
                           "C:\\Users\\Иван\\Desktop\\KoraVane", "C:\\Program Files\\KoraVane",
                           "C:\\Users\\Иван\\AppData\\Local\\Temp\\KoraVane",
                           "C:\\Users\\Иванов", "D:\\Games\\KoraVane"}) {
    EXPECT_EQ(check(root, RootSource::executable_folder), std::nullopt) << root;
  }
}

// A root is judged by what it names as well as by how it is spelled: an 8.3 name, a link, a
// device or volume spelling neither hides a protected folder nor makes a launcher folder one.
TEST(RootSafety, ASpellingNeitherHidesNorMovesAProtectedFolder) {
  struct Case {
    PathForms root;
    bool refused;
  };
  const Case cases[] = {
      {{"C:\\Users\\8E2A~1\\DOWNLO~1", "C:\\Users\\Иван\\Downloads"}, true},
      {{"K:\\Загрузки", "C:\\Users\\Иван\\Downloads"}, true},  // a link to the folder
      {{"K:\\link", "C:\\Users"}, true},                          // a link to one above it
      {{"\\\\.\\C:\\Users\\Иван\\Downloads", "C:\\Users\\Иван\\Downloads"}, true},
      {spelled_only("\\\\.\\c:\\users\\иван"), true},  // the device spelling, even unresolved
      {{"\\\\?\\Volume{7e1c}\\Users\\Иван", "C:\\Users\\Иван"}, true},
      {{"\\\\?\\Volume{7e1c}\\", "C:\\"}, true},
      {spelled_only("D:\\Документы"), true},  // where a protected folder really is
      {{"C:\\Users\\Иван\\AppData\\Local\\KoraVane", "E:\\"}, true},  // a link to a volume
      {{"C:\\Games\\KORAVA~1", "C:\\Games\\KoraVane"}, false},
      {{"K:\\link", "C:\\Users\\Иван\\AppData\\Local\\KoraVane"}, false},
      {spelled_only("D:\\Документы\\KoraVane"), false},
      {{"C:\\Users\\Иван\\AppData\\Local\\KoraVane", "D:\\Games\\KoraVane"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(check(c.root, RootSource::executable_folder).has_value(), c.refused)
        << c.root.spelled << " -> " << c.root.final;
  }
}

TEST(RootSafety, RefusalTexts) {
  EXPECT_EQ(refusal_line("C:\\Users\\Иван", RefusalReason::protected_folder),
            "refused root=C:\\Users\\Иван: protected folder");
  EXPECT_EQ(refusal_line("D:\\x", RefusalReason::no_launcher_files),
            "refused root=D:\\x: no launcher files");
  EXPECT_EQ(refusal_notice("D:\\x"),
            "Папка «D:\\x» не похожа на папку установки KoraVane. Ничего не удалено.");
}

}  // namespace
}  // namespace koravane
