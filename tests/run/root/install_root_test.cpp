#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "removal/steps/layout.h"
#include "run/root/install_root.h"

namespace koravane {
namespace {

// A file system of named paths and folder listings; a listing may fail after some entries. A listed
// name ending in a backslash is a folder.
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
                             const std::function<bool(const ListedEntry&)>& visit) const override {
    const auto listing = listings.find(folder);
    if (listing == listings.end()) return ListingError{OsError{3}};
    for (const std::string& listed : listing->second) {
      const bool is_folder = listed.ends_with('\\');
      const std::string name = is_folder ? listed.substr(0, listed.size() - 1) : listed;
      visited.push_back(name);
      if (visit({name, is_folder ? 0x10u : 0x20u})) return std::monostate{};
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
  std::map<std::string, uint64_t> ids;  // what each spelling opens; missing: it cannot be opened
  mutable int identity_asks = 0;
  std::optional<FileIdentity> identity(const std::string& absolute) const override {
    ++identity_asks;
    const auto id = ids.find(absolute);
    if (id == ids.end()) return std::nullopt;
    return FileIdentity{1, id->second, 0};
  }
  std::optional<std::string> registered;
  std::optional<std::string> registered_root() const override { return registered; }
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
      {"a target with markers", [](FakeProbe& p) { p.listings["D:\\Games\\KoraVane"] = {"app-current\\"}; },
       with_target("D:\\Games\\KoraVane\\app-1\\KoraVane.exe"),
       {"D:\\Games\\KoraVane", "D:\\Games\\KoraVane", "D:\\Games\\KoraVane", RootSource::target, LauncherEvidence::markers}},
      {"a target without", [](FakeProbe&) {}, with_target("D:\\Files\\x.exe"),
       {"D:\\Files", "D:\\Files", "D:\\Files", RootSource::target, LauncherEvidence::none}},
      {"a relative target", [](FakeProbe& p) { p.listings["Games"] = {"current.json"}; },
       with_target("Games\\KoraVane.exe"),
       {"Games", "C:\\Work\\Games", "C:\\Work\\Games", RootSource::target, LauncherEvidence::markers}},
      {"a bare file name as target", [](FakeProbe&) {}, with_target("KoraVane.exe"),
       {"", "C:\\Work", "C:\\Work", RootSource::target, LauncherEvidence::none}},
      {"the current directory", [](FakeProbe&) {}, LaunchOptions(),
       {"C:\\Work", "C:\\Work", "C:\\Work", RootSource::current_directory, LauncherEvidence::none}},
      // The way back starts the uninstaller kept in the root: a log or the registration speaks only
      // for the executable's own folder.
      {"a current directory whose own run log names it",
       [](FakeProbe& p) { p.files["C:\\Work\\updates\\rust-updater.log"] = "Uninstall 1.5.84 start quiet=true root=C:\\Work\n"; },
       LaunchOptions(), {"C:\\Work", "C:\\Work", "C:\\Work", RootSource::current_directory, LauncherEvidence::none}},
      {"a current directory a stale registration names", [](FakeProbe& p) { p.registered = "C:\\Work"; },
       LaunchOptions(), {"C:\\Work", "C:\\Work", "C:\\Work", RootSource::current_directory, LauncherEvidence::none}},
      {"a target's folder the registration names", [](FakeProbe& p) { p.registered = "D:\\Old"; },
       with_target("D:\\Old\\KoraVane.exe"), {"D:\\Old", "D:\\Old", "D:\\Old", RootSource::target, LauncherEvidence::none}},
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

// A folder reached only by a fallback needs an entry of a kind the launcher makes, by what its
// listing says it is ("\\" ends a folder's name); the executable's own folder, where the install
// laid this program, keeps any "app-" entry.
TEST(InstallRoot, AFallbackFolderCountsOnlyWithALauncherEntryOfItsKind) {
  struct Case {
    std::vector<std::string> entries;
    bool launcher_entry;
  };
  const Case cases[] = {
      {{"app-config\\"}, false},
      {{"app-notes.txt", "report.docx"}, false},
      {{"app-", "app-x1\\", "app-data\\", "Update.exe", "updates\\", "packages\\"}, false},
      {{"App-1\\", "APP-CURRENT\\", "Current.json", "koravane updater.exe"}, false},
      {{"app-2.docx", "notes.txt", "photos\\"}, false},
      {{"app-2 backup\\"}, false},
      {{"app-0beta\\"}, false},
      {{"app-1.5.84"}, false},
      {{"app-current"}, false},
      {{"current.json\\"}, false},
      {{"KoraVane Updater.exe\\"}, false},
      {{"app-1.5.84\\"}, true},
      {{"app-2\\"}, true},
      {{"app-current\\"}, true},
      {{"current.json"}, true},
      {{"KoraVane Updater.exe"}, true},
      {{"KoraVane-Updater.exe"}, true},
  };
  const auto laid_in = [](const std::string& folder, const std::vector<std::string>& entries) {
    FakeProbe probe;
    probe.listings[folder] = entries;
    for (std::string entry : entries) {
      if (entry.ends_with('\\')) entry.pop_back();
      probe.paths.insert(folder + "\\" + entry);
    }
    return probe;
  };
  for (const Case& c : cases) {
    const std::string what = c.entries.front();
    const FakeProbe fallback = laid_in("C:\\Work", c.entries);
    EXPECT_EQ(has_launcher_entry("C:\\Work", fallback), c.launcher_entry) << what;
    // By the current directory and by a target there, the same rule.
    EXPECT_EQ(find(LaunchOptions(), fallback).evidence != LauncherEvidence::none, c.launcher_entry) << what;
    EXPECT_EQ(find(with_target("C:\\Work\\x.exe"), fallback).evidence != LauncherEvidence::none, c.launcher_entry)
        << what;
    // The executable's own folder takes any entry beginning with "app-", and "current.json".
    const FakeProbe beside = laid_in("C:\\Tools", c.entries);
    const bool marked = begins_with_app_prefix(what) || what.starts_with("current.json");
    EXPECT_EQ(find(LaunchOptions(), beside).source == RootSource::executable_folder, marked) << what;
  }
}

// The registration kept for a second run names the root: the uninstaller it starts (from the
// system folder, its run log gone or never written) knows its folder, by any spelling of it.
TEST(InstallRoot, TheRegistrationNamingTheFolderIsEvidence) {
  struct Case {
    const char* what;
    std::optional<std::string> registered;
    LauncherEvidence expected;
  };
  const Case cases[] = {
      {"the folder itself", "C:\\Tools", LauncherEvidence::registration},
      {"its final path", "D:\\Real\\Tools", LauncherEvidence::registration},
      {"another spelling of it", "C:\\TOOLS~1", LauncherEvidence::registration},
      {"spelt otherwise", "c:/tools/", LauncherEvidence::registration},
      {"its parent", "C:\\", LauncherEvidence::none},
      {"another folder", "C:\\Other", LauncherEvidence::none},
      {"a relative path", "Tools", LauncherEvidence::none},
      {"an empty value", "", LauncherEvidence::none},
      {"no value", std::nullopt, LauncherEvidence::none},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    probe.cwd = std::string("C:\\Windows\\system32");
    probe.finals["C:\\Tools"] = "D:\\Real\\Tools";
    probe.ids = {{"C:\\Tools", 7}, {"C:\\TOOLS~1", 7}, {"C:\\Other", 8}, {"C:\\", 9}};
    probe.registered = c.registered;
    const InstallRoot root = find(LaunchOptions(), probe);
    EXPECT_EQ(root.evidence, c.expected) << c.what;
    EXPECT_EQ(root.source == RootSource::executable_folder, c.expected != LauncherEvidence::none) << c.what;
  }
}

TEST(RunLogEvidence, AnotherSpellingOfTheFolderInTheLogIsTheSameFolder) {
  FakeProbe probe;
  probe.ids = {{"C:\\Games\\Лаунчер", 7}, {"C:\\GAMES~1\\8E2A~1", 7}, {"X:\\Лаунчер", 7}, {"C:\\Games\\Other", 8}};
  const FolderPlace folder{spelled_only("C:\\Games\\Лаунчер"), FileIdentity{1, 7, 0}};
  for (const char* logged : {"C:\\GAMES~1\\8E2A~1", "X:\\Лаунчер"}) {
    EXPECT_TRUE(run_log_names_root(std::string("Uninstall 1.5.84 start quiet=true root=") + logged + "\n", folder, probe))
        << logged;
  }
  EXPECT_FALSE(run_log_names_root("Uninstall 1.5.84 start quiet=true root=C:\\Games\\Other\n", folder, probe));
  // A folder that cannot be opened is compared by its text alone.
  EXPECT_FALSE(run_log_names_root("Uninstall 1.5.84 start quiet=true root=X:\\Лаунчер\n",
                                  FolderPlace{spelled_only("C:\\Games\\Лаунчер"), std::nullopt}, probe));
  // A long log of one root asks the system once.
  std::string log;
  for (int i = 0; i < 100; ++i) log += "Uninstall 1.5.84 start quiet=true root=C:\\Games\\Other\n";
  probe.identity_asks = 0;
  EXPECT_FALSE(run_log_names_root(log, folder, probe));
  EXPECT_EQ(probe.identity_asks, 1);
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
      // A kept line names the final path beside a spelling that stands for another place.
      {"kept the uninstall registration for a second run: root=Лаунчер final=C:\\Games\\Лаунчер\n", true},
      {"kept the uninstall registration for a second run: root=C:\\Games\\Лаунчер final=D:\\x\n", true},
      {"kept the uninstall registration for a second run: root=C:\\x final=C:\\Games\n", false},
      {"", false},
  };
  const FakeProbe probe;  // nothing opens: the text decides
  for (const Case& c : cases) {
    EXPECT_EQ(run_log_names_root(c.log, FolderPlace{spelled_only(folder), std::nullopt}, probe), c.names_root) << c.log;
    // Found through a link or an 8.3 name to it, the folder is still the one its log names.
    EXPECT_EQ(run_log_names_root(c.log, FolderPlace{PathForms{"C:\\GAMES~1\\8E2A~1", folder}, std::nullopt}, probe),
              c.names_root)
        << c.log;
  }
}

TEST(RunLogEvidence, AnInterruptedRootIsFoundFromItsExecutableOnly) {
  const std::string log = "Uninstall 1.5.84 start quiet=true root=C:\\Tools\nsettings removed: x\n";
  {
    FakeProbe probe;  // markers gone, the log left
    probe.files["C:\\Tools\\updates\\rust-updater.log"] = log;
    expect_root(find(with_target("D:\\Other\\KoraVane.exe"), probe), "C:\\Tools",
                RootSource::executable_folder);
  }
  {
    FakeProbe probe;  // a copy elsewhere, with the root as the current directory: not by its log
    probe.cwd = std::string("C:\\Tools");
    probe.files["C:\\Tools\\updates\\rust-updater.log"] = log;
    probe.executable = std::string("D:\\Downloads\\Uninstall.exe");
    const InstallRoot root = find(LaunchOptions(), probe);
    expect_root(root, "C:\\Tools", RootSource::current_directory);
    EXPECT_EQ(root.evidence, LauncherEvidence::none);
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
