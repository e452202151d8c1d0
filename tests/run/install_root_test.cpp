#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
  std::map<std::string, std::string> files;
  mutable std::vector<std::string> visited;

  OsResult<std::string> current_directory() const override { return cwd; }
  bool exists(const std::string& path) const override { return paths.count(path) != 0; }
  ListingStatus list_entries(const std::string& folder,
                             const std::function<bool(std::string_view)>& visit) const override {
    const auto listing = listings.find(folder);
    if (listing == listings.end()) return ListingError{OsError{3}};
    for (const std::string& name : listing->second) {
      visited.push_back(name);
      if (visit(name)) return std::monostate{};
    }
    if (listing_breaks_after_entries.count(folder)) return ListingError{OsError{59}, true};
    return std::monostate{};
  }
  std::optional<std::string> read_file_tail(const std::string& path, size_t max_bytes) const override {
    const auto file = files.find(path);
    if (file == files.end()) return std::nullopt;
    const std::string& text = file->second;
    return text.substr(text.size() - std::min(text.size(), max_bytes));
  }
  bool absolute_fails = false;
  // Relative paths are taken against C:\Work.
  std::optional<std::string> absolute_path(const std::string& path) const override {
    if (absolute_fails) return std::nullopt;
    if (path.size() > 1 && path[1] == ':') return path;
    return path.empty() ? std::string("C:\\Work") : "C:\\Work\\" + path;
  }
  std::map<std::string, std::string> finals;  // what a link or an 8.3 name stands for
  std::optional<std::string> final_path(const std::string& absolute) const override {
    const auto final = finals.find(absolute);
    if (final == finals.end()) return std::nullopt;
    return final->second;
  }
};

InstallRoot find(const LaunchOptions& options, const FakeProbe& probe) {
  return find_install_root(options, probe.executable, probe);
}

// Any evidence at all, the folder made absolute as start-up does.
bool has_evidence(std::string_view folder, const FakeProbe& probe) {
  const std::optional<std::string> absolute = probe.absolute_path(std::string(folder));
  const std::optional<PathForms> forms =
      absolute ? std::optional(PathForms{*absolute, probe.final_path(*absolute).value_or(*absolute)}) : std::nullopt;
  return launcher_evidence(folder, forms, probe) != LauncherEvidence::none;
}

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
    expect_root(find(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
  }
  {
    FakeProbe probe;
    probe.paths.insert("C:\\Tools\\app-current");
    expect_root(find(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
  }
  for (const char* entry : {"app-", "app-x", "app-1.5.84", "app-data"}) {
    FakeProbe probe;
    probe.listings["C:\\Tools"] = {"Uninstall.exe", entry, "z"};
    expect_root(find(elsewhere, probe), "C:\\Tools", RootSource::executable_folder);
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
  expect_root(find(LaunchOptions(), probe), "C:\\Work", RootSource::current_directory);
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
  expect_root(find(with_target("D:\\Games\\app-1\\KoraVane.exe"), probe), "C:\\Tools",
              RootSource::executable_folder);
}

TEST(InstallRoot, TargetFolderStepsOverAnAppFolder) {
  FakeProbe probe;
  expect_root(find(with_target("C:\\Games\\Launcher\\app-1.5.84\\KoraVane.exe"), probe),
              "C:\\Games\\Launcher", RootSource::target);
  expect_root(find(with_target("C:\\Games\\Launcher\\KoraVane.exe"), probe),
              "C:\\Games\\Launcher", RootSource::target);
  expect_root(find(with_target("C:\\Игры\\Лаунчер\\app-current\\KoraVane.exe"), probe),
              "C:\\Игры\\Лаунчер", RootSource::target);
  // Only a folder name beginning with "app-" is stepped over, with case.
  expect_root(find(with_target("C:\\Games\\App-1\\KoraVane.exe"), probe),
              "C:\\Games\\App-1", RootSource::target);
  expect_root(find(with_target("C:\\Games\\app\\KoraVane.exe"), probe),
              "C:\\Games\\app", RootSource::target);
  // The "app-" folder directly under a drive root: its parent is the drive root.
  expect_root(find(with_target("C:\\app-2\\KoraVane.exe"), probe), "C:\\",
              RootSource::target);
  expect_root(find(with_target("C:\\KoraVane.exe"), probe), "C:\\", RootSource::target);
}

TEST(InstallRoot, BareFileNameTargetGivesTheEmptyRoot) {
  FakeProbe probe;
  expect_root(find(with_target("KoraVane.exe"), probe), "", RootSource::target);
  // A relative "app-" folder has the empty path as its parent too.
  expect_root(find(with_target("app-1\\KoraVane.exe"), probe), "", RootSource::target);
}

TEST(InstallRoot, TargetWithoutParentFallsBackToTheCurrentDirectory) {
  FakeProbe probe;
  expect_root(find(with_target("C:\\"), probe), "C:\\Work", RootSource::current_directory);
  expect_root(find(with_target("\\\\server\\share\\"), probe), "C:\\Work",
              RootSource::current_directory);
  expect_root(find(LaunchOptions(), probe), "C:\\Work", RootSource::current_directory);
}

TEST(InstallRoot, NoExecutablePathOrCurrentDirectory) {
  FakeProbe probe;
  probe.executable = OsError{5};
  probe.cwd = OsError{3};
  probe.paths.insert("current.json");  // an empty folder must not turn into a relative marker check
  expect_root(find(LaunchOptions(), probe), ".", RootSource::dot);
  expect_root(find(with_target("C:\\x\\y.exe"), probe), "C:\\x", RootSource::target);
}

// The value every step of a run borrows: the folder as found, its absolute form (made once, the
// folder itself when the system cannot say), where it came from and what says it is a launcher's.
TEST(InstallRoot, TheRootValueHoldsItsAbsoluteFormSourceAndEvidence) {
  struct Case {
    const char* what;
    std::function<void(FakeProbe&)> set_up;
    LaunchOptions options;
    InstallRoot expected;
  };
  const std::string log = "Uninstall 1.5.84 start quiet=true root=C:\\Tools\n";
  const Case cases[] = {
      {"markers beside the executable", [](FakeProbe& p) { p.paths.insert("C:\\Tools\\current.json"); },
       LaunchOptions(), {"C:\\Tools", "C:\\Tools", "C:\\Tools", RootSource::executable_folder, LauncherEvidence::markers}},
      {"its own run log beside the executable",
       [&](FakeProbe& p) { p.files["C:\\Tools\\updates\\rust-updater.log"] = log; }, LaunchOptions(),
       {"C:\\Tools", "C:\\Tools", "C:\\Tools", RootSource::executable_folder, LauncherEvidence::run_log}},
      {"a target with markers", [](FakeProbe& p) { p.paths.insert("D:\\Games\\KoraVane\\app-current"); },
       with_target("D:\\Games\\KoraVane\\app-1\\KoraVane.exe"),
       {"D:\\Games\\KoraVane", "D:\\Games\\KoraVane", "D:\\Games\\KoraVane", RootSource::target, LauncherEvidence::markers}},
      {"a target without", [](FakeProbe&) {}, with_target("D:\\Files\\x.exe"),
       {"D:\\Files", "D:\\Files", "D:\\Files", RootSource::target, LauncherEvidence::none}},
      {"a relative target", [](FakeProbe& p) { p.paths.insert("Games\\current.json"); },
       with_target("Games\\KoraVane.exe"),
       {"Games", "C:\\Work\\Games", "C:\\Work\\Games", RootSource::target, LauncherEvidence::markers}},
      {"a bare file name as target", [](FakeProbe&) {}, with_target("KoraVane.exe"),
       {"", "C:\\Work", "C:\\Work", RootSource::target, LauncherEvidence::none}},
      {"the current directory", [](FakeProbe&) {}, LaunchOptions(),
       {"C:\\Work", "C:\\Work", "C:\\Work", RootSource::current_directory, LauncherEvidence::none}},
      {"nothing known", [](FakeProbe& p) { p.executable = OsError{5}; p.cwd = OsError{3}; }, LaunchOptions(),
       {".", "C:\\Work\\.", "C:\\Work\\.", RootSource::dot, LauncherEvidence::none}},
      {"a folder the system cannot make absolute",
       [&](FakeProbe& p) {
         p.absolute_fails = true;
         p.files["D:\\Old\\updates\\rust-updater.log"] = "Uninstall 1.5.84 start quiet=true root=D:\\Old\n";
       },
       with_target("D:\\Old\\KoraVane.exe"), {"D:\\Old", "D:\\Old", "D:\\Old", RootSource::target, LauncherEvidence::none}},
      {"an 8.3 spelling beside the executable",
       [](FakeProbe& p) {
         p.executable = std::string("C:\\GAMES~1\\Uninstall.exe");
         p.paths.insert("C:\\GAMES~1\\current.json");
         p.finals["C:\\GAMES~1"] = "C:\\Games Лаунчер";
       },
       LaunchOptions(), {"C:\\GAMES~1", "C:\\GAMES~1", "C:\\Games Лаунчер", RootSource::executable_folder, LauncherEvidence::markers}},
      {"a link whose run log names what it stands for",
       [](FakeProbe& p) {
         p.finals["C:\\Tools"] = "D:\\Real\\Tools";
         p.files["C:\\Tools\\updates\\rust-updater.log"] = "Uninstall 1.5.84 start quiet=true root=D:\\Real\\Tools\n";
       },
       LaunchOptions(), {"C:\\Tools", "C:\\Tools", "D:\\Real\\Tools", RootSource::executable_folder, LauncherEvidence::run_log}},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    c.set_up(probe);
    const InstallRoot root = find(c.options, probe);
    EXPECT_EQ(root.path, c.expected.path) << c.what;
    EXPECT_EQ(root.absolute, c.expected.absolute) << c.what;
    EXPECT_EQ(root.final, c.expected.final) << c.what;
    EXPECT_EQ(root.source, c.expected.source) << c.what;
    EXPECT_EQ(root.evidence, c.expected.evidence) << c.what;
  }
}

TEST(RunLogEvidence, OnlyAStartLineWithThisFolderAsAnAbsoluteRootCounts) {
  const std::string folder = "C:\\Games\\Лаунчер";
  struct Case {
    std::string log;
    bool names_root;
  };
  const Case cases[] = {
      {"Uninstall 1.5.84 start quiet=true root=C:\\Games\\Лаунчер\n", true},
      {"an earlier run\nUninstall 1.5.84 start quiet=false root=C:\\Games\\Лаунчер\nsettings removed: x\n", true},
      {"Uninstall 1.5.84 start quiet=true root=c:/games/ЛАУНЧЕР/", true},  // spelt otherwise, last line
      {"Uninstall 1.5.84 start quiet=true root=\\\\?\\C:\\Games\\Лаунчер\n", true},
      {"Uninstall 1.5.84 start quiet=true root=C:\\Games\n", false},              // its parent
      {"Uninstall 1.5.84 start quiet=true root=C:\\Games\\Лаунчер\\app-1\n", false},  // a child
      {"Uninstall 1.5.84 start quiet=true root=C:\\Games\\Лаунчер 2\n", false},
      {"Uninstall 1.5.84 start quiet=true root=Лаунчер\n", false},  // relative: says nothing
      {"Uninstall 1.5.84 start quiet=true root=\n", false},
      {"Uninstall 1.5.84 start quiet=maybe root=C:\\Games\\Лаунчер\n", false},
      {"Uninstall 1.5.83 start quiet=true root=C:\\Games\\Лаунчер\n", false},
      {" Uninstall 1.5.84 start quiet=true root=C:\\Games\\Лаунчер\n", false},
      {"refused root=C:\\Games\\Лаунчер: no launcher files\n", false},
      {"settings removed: C:\\Games\\Лаунчер\nfail C:\\Games\\Лаунчер: x\n", false},
      // A launcher-only run that kept the way back may have lost its start line with "updates".
      {"removed updates\nkept the uninstall registration for a second run: root=C:\\Games\\Лаунчер\n", true},
      {"kept the uninstall registration for a second run: root=C:\\Games\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_log_names_root(c.log, spelled_only(folder)), c.names_root) << c.log;
    // Found through a link or an 8.3 name to it, the folder is still the one its log names.
    EXPECT_EQ(run_log_names_root(c.log, PathForms{"C:\\GAMES~1\\8E2A~1", folder}), c.names_root) << c.log;
  }
}

TEST(RunLogEvidence, AnInterruptedRootIsFoundFromItsExecutableAndAcceptedAsAFallback) {
  const std::string log = "Uninstall 1.5.84 start quiet=true root=C:\\Tools\nsettings removed: x\n";
  {
    FakeProbe probe;  // markers gone, the log left
    probe.files["C:\\Tools\\updates\\rust-updater.log"] = log;
    expect_root(find(with_target("D:\\Other\\KoraVane.exe"), probe), "C:\\Tools",
                RootSource::executable_folder);
  }
  {
    FakeProbe probe;  // run from elsewhere with the root as the current directory
    probe.cwd = std::string("C:\\Tools");
    probe.files["C:\\Tools\\updates\\rust-updater.log"] = log;
    probe.executable = std::string("D:\\Downloads\\Uninstall.exe");
    const InstallRoot root = find(LaunchOptions(), probe);
    expect_root(root, "C:\\Tools", RootSource::current_directory);
    EXPECT_TRUE(has_evidence(root.path, probe));
  }
  {
    FakeProbe probe;  // the root given relative to the current directory
    probe.files["Tools\\updates\\rust-updater.log"] =
        "Uninstall 1.5.84 start quiet=true root=C:\\Work\\Tools\n";
    EXPECT_TRUE(has_evidence("Tools", probe));
  }
  {
    FakeProbe probe;  // a copied uninstaller among ordinary files, and a log of another folder
    probe.listings["C:\\Tools"] = {"Uninstall.exe", "report.docx", "updates"};
    probe.files["C:\\Tools\\updates\\rust-updater.log"] =
        "Uninstall 1.5.84 start quiet=true root=D:\\Games\\KoraVane\n";
    EXPECT_FALSE(has_evidence("C:\\Tools", probe));
    expect_root(find(LaunchOptions(), probe), "C:\\Work", RootSource::current_directory);
  }
  {
    FakeProbe probe;  // a folder the system cannot make absolute is not compared at all
    probe.files["C:\\Tools\\updates\\rust-updater.log"] = log;
    probe.absolute_fails = true;
    EXPECT_FALSE(has_evidence("C:\\Tools", probe));
  }
  {
    FakeProbe probe;  // only the last part of a long log is read
    probe.files["C:\\Tools\\updates\\rust-updater.log"] =
        log + std::string(kRunLogEvidenceBytes, 'x') + "\n";
    EXPECT_FALSE(has_evidence("C:\\Tools", probe));
  }
}

}  // namespace
}  // namespace koravane
