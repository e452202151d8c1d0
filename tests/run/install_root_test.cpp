#include <gtest/gtest.h>

#include <map>
#include <set>

#include "run/install_root.h"

namespace koravane {
namespace {

// A file system of named paths and folder listings; a listing may fail after some entries.
class FakeProbe final : public RootProbe {
 public:
  OsResult<std::string> executable = std::string("C:\\Tools\\Uninstall.exe");
  OsResult<std::string> cwd = std::string("C:\\Work");
  std::set<std::string> paths;
  std::map<std::string, std::vector<std::string>> listings;
  std::set<std::string> listing_breaks_after_entries;  // folders whose listing then fails
  mutable std::vector<std::string> visited;

  OsResult<std::string> executable_path() const override { return executable; }
  OsResult<std::string> current_directory() const override { return cwd; }
  bool exists(const std::string& path) const override { return paths.count(path) != 0; }
  void list_entries(const std::string& folder,
                    const std::function<bool(std::string_view)>& visit) const override {
    const auto listing = listings.find(folder);
    if (listing == listings.end()) return;
    for (const std::string& name : listing->second) {
      visited.push_back(name);
      if (visit(name)) return;
    }
  }
};

LaunchOptions with_target(std::string target) {
  LaunchOptions options;
  options.target = std::move(target);
  return options;
}

void expect_root(const InstallRoot& root, std::string_view path, RootSource source) {
  EXPECT_EQ(root.path, path);
  EXPECT_EQ(root.source, source);
}

TEST(InstallRoot, EachMarkerMakesTheExecutableFolderTheRoot) {
  const LaunchOptions elsewhere = with_target("D:\\Other\\KoraVane.exe");
  {
    FakeProbe probe;
    probe.paths.insert("C:\\Tools\\current.json");
    expect_root(find_install_root(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
  }
  {
    FakeProbe probe;
    probe.paths.insert("C:\\Tools\\app-current");
    expect_root(find_install_root(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
  }
  for (const char* entry : {"app-", "app-x", "app-1.5.84", "app-data"}) {
    FakeProbe probe;
    probe.listings["C:\\Tools"] = {"Uninstall.exe", entry, "z"};
    expect_root(find_install_root(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
  }
}

TEST(InstallRoot, TheListingStopsAtTheFirstAppEntry) {
  FakeProbe probe;
  probe.listings["C:\\Tools"] = {"a", "app-2", "b", "c"};
  EXPECT_TRUE(has_root_markers("C:\\Tools", probe));
  EXPECT_EQ(probe.visited, (std::vector<std::string>{"a", "app-2"}));
}

TEST(InstallRoot, NamesThatOnlyLookLikeMarkersDoNotCount) {
  FakeProbe probe;
  probe.listings["C:\\Tools"] = {"App-1", "app", "xapp-1", "APP-CURRENT", "Current.json", "app_1"};
  EXPECT_FALSE(has_root_markers("C:\\Tools", probe));
  expect_root(find_install_root(LaunchOptions(), probe), "C:\\Work", RootSource::current_directory);
}

TEST(InstallRoot, UndecodableNamesAreComparedAsDisplayText) {
  FakeProbe probe;
  probe.listings["C:\\Tools"] = {"\xED\xA0\x80" "app-1", "app\xED\xA0\x80-1"};
  EXPECT_FALSE(has_root_markers("C:\\Tools", probe));
  probe.listings["C:\\Tools"].push_back("app-\xED\xA0\x80");
  EXPECT_TRUE(has_root_markers("C:\\Tools", probe));
}

TEST(InstallRoot, ExecutableFolderWinsOverTheTarget) {
  FakeProbe probe;
  probe.paths.insert("C:\\Tools\\current.json");
  expect_root(find_install_root(with_target("D:\\Games\\app-1\\KoraVane.exe"), probe), "C:\\Tools",
              RootSource::executable_folder);
}

TEST(InstallRoot, TargetFolderStepsOverAnAppFolder) {
  FakeProbe probe;
  expect_root(find_install_root(with_target("C:\\Games\\Launcher\\app-1.5.84\\KoraVane.exe"), probe),
              "C:\\Games\\Launcher", RootSource::target);
  expect_root(find_install_root(with_target("C:\\Games\\Launcher\\KoraVane.exe"), probe),
              "C:\\Games\\Launcher", RootSource::target);
  expect_root(find_install_root(with_target("C:\\Игры\\Лаунчер\\app-current\\KoraVane.exe"), probe),
              "C:\\Игры\\Лаунчер", RootSource::target);
  // Only a folder name beginning with "app-" is stepped over, with case.
  expect_root(find_install_root(with_target("C:\\Games\\App-1\\KoraVane.exe"), probe),
              "C:\\Games\\App-1", RootSource::target);
  expect_root(find_install_root(with_target("C:\\Games\\app\\KoraVane.exe"), probe),
              "C:\\Games\\app", RootSource::target);
  // The "app-" folder directly under a drive root: its parent is the drive root.
  expect_root(find_install_root(with_target("C:\\app-2\\KoraVane.exe"), probe), "C:\\",
              RootSource::target);
  expect_root(find_install_root(with_target("C:\\KoraVane.exe"), probe), "C:\\", RootSource::target);
}

TEST(InstallRoot, BareFileNameTargetGivesTheEmptyRoot) {
  FakeProbe probe;
  expect_root(find_install_root(with_target("KoraVane.exe"), probe), "", RootSource::target);
  // A relative "app-" folder has the empty path as its parent too.
  expect_root(find_install_root(with_target("app-1\\KoraVane.exe"), probe), "", RootSource::target);
}

TEST(InstallRoot, TargetWithoutParentFallsBackToTheCurrentDirectory) {
  FakeProbe probe;
  expect_root(find_install_root(with_target("C:\\"), probe), "C:\\Work", RootSource::current_directory);
  expect_root(find_install_root(with_target("\\\\server\\share\\"), probe), "C:\\Work",
              RootSource::current_directory);
  expect_root(find_install_root(LaunchOptions(), probe), "C:\\Work", RootSource::current_directory);
}

TEST(InstallRoot, NoExecutablePathOrCurrentDirectory) {
  FakeProbe probe;
  probe.executable = OsError{5};
  probe.cwd = OsError{3};
  probe.paths.insert("current.json");  // an empty folder must not turn into a relative marker check
  expect_root(find_install_root(LaunchOptions(), probe), ".", RootSource::dot);
  expect_root(find_install_root(with_target("C:\\x\\y.exe"), probe), "C:\\x", RootSource::target);
}

}  // namespace
}  // namespace koravane
