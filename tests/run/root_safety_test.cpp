#include <gtest/gtest.h>

#include "platform/path_text.h"
#include "run/root_safety.h"

namespace koravane {
namespace {

const std::vector<std::string> kProtected = {
    "C:\\Users\\Иван",          "C:\\Users\\Иван\\AppData\\Roaming",
    "C:\\Users\\Иван\\AppData\\Local", "C:\\Users\\Иван\\Desktop",
    "C:\\Users\\Иван\\Documents", "C:\\Users\\Иван\\Downloads",
    "C:\\windows",              "C:\\Program Files",
    "C:\\Users\\Иван\\AppData\\Local\\Temp\\"};

std::optional<RefusalReason> check(std::string_view root, RootSource source = RootSource::target,
                                   bool markers = true) {
  const InstallRoot install_root{std::string(root), std::string(root), source,
                                 markers ? LauncherEvidence::markers : LauncherEvidence::none};
  return refusal_reason(install_root, kProtected);
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
