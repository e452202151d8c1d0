#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/text/path_text.h"
#include "run/root/one_removal.h"
#include "run/root/root_safety.h"

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

// A file system of folder entries (their listed attributes and tags) and what each opened folder
// names.
class FakeResolver final : public FolderResolver {
 public:
  std::map<std::string, EntryKind> entries;
  std::map<std::string, std::string> finals;
  mutable std::vector<std::string> opened;
  std::optional<EntryKind> attributes(const std::string& path) const override {
    const auto entry = entries.find(path);
    if (entry == entries.end()) return std::nullopt;
    return entry->second;
  }
  std::optional<std::string> final_path(const std::string& path) const override {
    opened.push_back(path);
    const auto final = finals.find(path);
    if (final == finals.end()) return std::nullopt;
    return final->second;
  }
};

// A hundred known folders are resolved by opening only those no other one holds; the others take
// their final form from the folder above them, unless a link or an 8.3 name on the way could
// make it another place. A folder synced by OneDrive, a reparse point that names itself, is none.
TEST(RootSafety, FoldersBelowAResolvedOneAreOpenedOnlyWhereTheirSpellingMayLie) {
  const EntryKind folder{0x10}, junction{0x410, 0xA0000003}, synced{0x410, 0x9000601A};
  FakeResolver resolver;
  resolver.entries = {{"C:\\Users\\Иван", folder},          {"C:\\Users\\Иван\\Pictures", synced},
                      {"C:\\Users\\Иван\\Music", junction}, {"C:\\Users\\Иван\\AppData", folder},
                      {"C:\\Users\\Иван\\AppData\\Local", folder}, {"C:\\Users\\Иван\\SAVEDG~1", folder}};
  resolver.finals = {{"C:\\Users", "C:\\Users"},
                     {"C:\\Users\\Иван\\Music", "E:\\Музыка"},
                     {"C:\\Users\\Иван\\SAVEDG~1", "C:\\Users\\Иван\\Saved Games"}};
  const std::vector<PathForms> resolved = resolve_folders(
      {"C:\\Users\\Иван\\AppData\\Local", "C:\\Users\\Иван\\Music", "C:\\Users\\Иван\\Pictures", "C:\\Users",
       "C:\\Users\\Иван\\SAVEDG~1", "D:\\Games", "C:\\Users\\Иван"},
      resolver);
  const std::vector<PathForms> expected = {
      {"C:\\Users\\Иван\\AppData\\Local", "C:\\Users\\Иван\\AppData\\Local"},
      {"C:\\Users\\Иван\\Music", "E:\\Музыка"},
      {"C:\\Users\\Иван\\Pictures", "C:\\Users\\Иван\\Pictures"},
      {"C:\\Users", "C:\\Users"},
      {"C:\\Users\\Иван\\SAVEDG~1", "C:\\Users\\Иван\\Saved Games"},
      {"D:\\Games", "D:\\Games"},  // cannot be opened: it stands for itself
      {"C:\\Users\\Иван", "C:\\Users\\Иван"},
  };
  EXPECT_EQ(resolved, expected);
  std::sort(resolver.opened.begin(), resolver.opened.end());
  EXPECT_EQ(resolver.opened, (std::vector<std::string>{"C:\\Users", "C:\\Users\\Иван\\Music",
                                                       "C:\\Users\\Иван\\SAVEDG~1", "D:\\Games"}));
}

// Below a folder that names another place, the others follow it there.
TEST(RootSafety, AFolderBelowALinkTakesTheLinksFinalForm) {
  FakeResolver resolver;
  resolver.entries = {{"C:\\Users\\Иван\\Documents\\My Games", {0x10}}};
  resolver.finals = {{"C:\\Users\\Иван\\Documents", "D:\\Документы"}};
  const std::vector<PathForms> resolved =
      resolve_folders({"C:\\Users\\Иван\\Documents\\My Games", "C:\\Users\\Иван\\Documents"}, resolver);
  ASSERT_EQ(resolved.size(), 2u);
  EXPECT_EQ(resolved[0], (PathForms{"C:\\Users\\Иван\\Documents\\My Games", "D:\\Документы\\My Games"}));
  // Whichever of the two the list names first.
  const std::vector<PathForms> reversed =
      resolve_folders({"C:\\Users\\Иван\\Documents", "C:\\Users\\Иван\\Documents\\My Games"}, resolver);
  ASSERT_EQ(reversed.size(), 2u);
  EXPECT_EQ(reversed[1], resolved[0]);
  // A root on the other drive that holds it is refused by that form.
  EXPECT_EQ(refusal_reason(InstallRoot{"D:\\Документы", "D:\\Документы", "D:\\Документы",
                                       RootSource::executable_folder, LauncherEvidence::markers},
                           {resolved[0]}),
            RefusalReason::protected_folder);
}

TEST(RootSafety, RefusalTexts) {
  EXPECT_EQ(refusal_line("C:\\Users\\Иван", RefusalReason::protected_folder),
            "refused root=C:\\Users\\Иван: protected folder");
  EXPECT_EQ(refusal_line("D:\\x", RefusalReason::no_launcher_files),
            "refused root=D:\\x: no launcher files");
  const auto text = [](const NoticeMessage& m) { return m.before + m.path + m.after; };
  EXPECT_EQ(text(refusal_notice("D:\\x", RefusalReason::no_launcher_files)),
            "Папка «D:\\x» не похожа на папку установки KoraVane. Ничего не удалено.");
  // A protected folder is not called unlike an install: it holds the person's other files.
  const NoticeMessage desktop = refusal_notice("C:\\Users\\Иван\\Desktop", RefusalReason::protected_folder);
  EXPECT_EQ(desktop.path, "C:\\Users\\Иван\\Desktop");
  EXPECT_EQ(text(desktop), "Папку «C:\\Users\\Иван\\Desktop» нельзя удалить целиком: в ней лежат и другие ваши "
                           "файлы. Ничего не удалено. Храните лаунчер в отдельной папке.");
}

// Two runs on one folder, by whatever spelling, meet at one lock; other folders never do.
TEST(RemovalLock, NamedByIdentityElseByTheFinalPathWithoutCase) {
  const FileIdentity root{0x1234, 0x56, 0x78};
  const std::string by_identity = removal_lock_name(root, "C:\\Games\\KoraVane");
  EXPECT_EQ(by_identity, "Local\\KoraVane-Uninstall-0000000000001234-00000000000000780000000000000056");
  EXPECT_EQ(removal_lock_name(root, "K:\\other spelling"), by_identity);
  EXPECT_NE(removal_lock_name(FileIdentity{0x1234, 0x56, 0x79}, "C:\\Games\\KoraVane"), by_identity);
  EXPECT_NE(removal_lock_name(FileIdentity{0x1235, 0x56, 0x78}, "C:\\Games\\KoraVane"), by_identity);
  const std::string by_path = removal_lock_name(std::nullopt, "C:\\Games\\KoraVane");
  EXPECT_EQ(by_path.find('\\', 6), std::string::npos) << "one namespace separator only";
  EXPECT_EQ(removal_lock_name(std::nullopt, "c:\\games\\koravane\\"), by_path);
  EXPECT_NE(removal_lock_name(std::nullopt, "C:\\Games\\KoraVane2"), by_path);
}

}  // namespace
}  // namespace koravane
