#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <string>
#include <vector>

#include "removal/tree/fake_removal_system.h"
#include "removal/steps/root_clearing.h"

namespace koravane {
namespace {

struct HoldingCase {
  const char* root;
  const char* path;
  std::optional<std::string> entry;
};

TEST(RootEntries, FindsTheTopLevelEntryHoldingTheExecutable) {
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
TEST(RootEntries, FindsTheEntryByWhatRootAndExecutableAre) {
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


// An install root as the removal meets it: the launcher's entries, game files, the uninstaller
// and the run log, under "root" or, when the root is a link, under the folder it names.
struct RootCase {
  const char* what;
  bool link = false;                  // "root" is a directory link to "target"
  const char* running = nullptr;      // the top-level entry holding this program, if it is inside
  const char16_t* busy = nullptr;     // a file held open the whole time
  // What is left afterwards, and what the deferred script is given.
  std::vector<std::u16string> left;
  std::vector<std::string> deferred;
  bool way_back_kept = false;
  const char* final = nullptr;        // what the root names, when not itself or a link's target
  bool without_uninstaller = false;
  bool links_followed = false;        // the system opens the links below the root as what they name
  bool root_reparse_point = false;    // the root is a reparse point that names itself
  const char* world_left = nullptr;   // a world the Recycle Bin refused, below the root
  bool run_log_not_own = false;       // the run could not write its log
  uint32_t root_tag = 0;              // that reparse point's tag
};

const std::u16string kPaths[] = {u"app-1.5.84", u"app-1.5.84/KoraVane.exe", u"current.json", u"minecraft",
                                 u"minecraft/options.txt", u"minecraft/saves", u"minecraft/saves/world.dat", u"tools", u"tools/notes.txt",
                                 u"updates", u"updates/rust-updater.log", u"updates/old.nupkg", u"Uninstall.exe",
                                 u"elsewhere-link", u"minecraft/saves/up"};

void lay_root(test::FakeRemovalSystem& fs, const std::u16string& folder) {
  fs.add_directory(folder);
  for (const std::u16string& path : kPaths) {
    if (path == u"elsewhere-link" || path.ends_with(u"/up")) continue;
    const bool directory = path == u"app-1.5.84" || path.find(u'.') == std::u16string::npos;
    if (directory) {
      fs.add_directory(folder + u"/" + path);
    } else {
      fs.add_file(folder + u"/" + path);
    }
  }
  fs.add_directory(u"outside");
  fs.add_file(u"outside/keep.txt");
  fs.add_directory_link(folder + u"/elsewhere-link", u"outside");
  fs.add_directory_link(folder + u"/minecraft/saves/up", folder, fs.nodes.at(folder).id);
}

TEST(RootRemoval, EverythingGoesButTheWayBackWhileAnythingStays) {
  const std::vector<std::u16string> way_back = {u"Uninstall.exe", u"updates", u"updates/rust-updater.log"};
  const auto with = [&](std::vector<std::u16string> more) {
    more.insert(more.end(), way_back.begin(), way_back.end());
    return more;
  };
  const std::vector<std::u16string> save = {u"minecraft", u"minecraft/saves", u"minecraft/saves/world.dat"};
  std::vector<std::u16string> world = save;  // the folder saves as a world, with a link in it
  world.push_back(u"minecraft/saves/up");
  const RootCase cases[] = {
      {"from elsewhere", false, nullptr, nullptr, {}, {}, false},
      {"from elsewhere, a save held", false, nullptr, u"minecraft/saves/world.dat", with(save), {"root\\minecraft"}, true},
      {"from inside", false, "uninstall.exe", nullptr, way_back, {"root"}, false},
      {"from inside, a save held", false, "uninstall.exe", u"minecraft/saves/world.dat", with(save), {"root\\minecraft"}, true},
      {"from a folder of the root", false, "tools", nullptr, with({u"tools", u"tools/notes.txt"}), {"root"}, false},
      // The run log's folder is never the script's to take: the next run finds the root by it.
      {"from inside, a file beside the log held", false, "uninstall.exe", u"updates/old.nupkg",
       with({u"updates/old.nupkg"}), {}, true},
      // The uninstaller goes last: held, it stays with the run log for the next run.
      {"from elsewhere, the root's uninstaller held", false, nullptr, u"Uninstall.exe", way_back, {}, true},
      {"from elsewhere, no uninstaller", false, nullptr, nullptr, {}, {}, false, nullptr, true},
      // Only the run log held: nothing is left for the person to run, and the script takes the root.
      {"from elsewhere, the run log held", false, nullptr, u"updates/rust-updater.log",
       {u"updates", u"updates/rust-updater.log"}, {"root"}, false},
      {"an 8.3 spelling, from inside: no link", false, "uninstall.exe", nullptr, way_back, {"root"}, false,
       "root-with-a-long-name"},
      {"a link root from elsewhere", true, nullptr, nullptr, {}, {}, false},
      {"a link root from inside", true, "uninstall.exe", nullptr, way_back, {"target", "root"}, false},
      {"a link root from elsewhere, a save held", true, nullptr, u"minecraft/saves/world.dat", with(save),
       {"target\\minecraft"}, true},
      // Links that open as what they name stay, named, with the way back; the script is never
      // given a tree holding one, since its folder removal might walk into it.
      {"from inside, links open as what they name", false, "uninstall.exe", nullptr,
       with({u"elsewhere-link", u"minecraft", u"minecraft/saves", u"minecraft/saves/up"}), {}, true, nullptr,
       false, true},
      {"from elsewhere, links open as what they name, a save held", false, nullptr, u"minecraft/saves/world.dat",
       with({u"elsewhere-link", u"minecraft", u"minecraft/saves", u"minecraft/saves/up", u"minecraft/saves/world.dat"}),
       {}, true, nullptr, false, true},
      {"a root that is a reparse point naming itself", false, nullptr, nullptr, {}, {}, false, nullptr, false, false,
       true},
      // A folder synced by OneDrive, spelled otherwise than its final path: no link, by its tag.
      {"a synced root by an 8.3 spelling, from inside", false, "uninstall.exe", nullptr, way_back, {"root"}, false,
       "root-with-a-long-name", false, false, true, nullptr, false, 0x9000601A},
      // A world the bin refused stays whole where it is, with the way back; the script, whose folder
      // removal would take it, is never given what holds it.
      {"from elsewhere, a world refused", false, nullptr, nullptr, with(world), {}, true, nullptr, false, false, false,
       "root\\minecraft\\saves"},
      {"from inside, a world refused and a file elsewhere held", false, "uninstall.exe", u"tools/notes.txt",
       with({u"minecraft", u"minecraft/saves", u"minecraft/saves/world.dat", u"minecraft/saves/up", u"tools",
             u"tools/notes.txt"}),
       {"root\\tools"}, true, nullptr, false, false, false, "root\\minecraft\\saves"},
      {"from elsewhere, a world refused and a file beside it held", false, nullptr, u"minecraft/options.txt",
       with({u"minecraft", u"minecraft/options.txt", u"minecraft/saves", u"minecraft/saves/world.dat",
             u"minecraft/saves/up"}),
       {}, true, nullptr, false, false, false, "root\\minecraft\\saves"},
      {"a link root from inside, a world refused", true, "uninstall.exe", nullptr, with(world), {}, true, nullptr,
       false, false, false, "root\\MINECRAFT\\saves"},
      // A run log the run could not write is not its own: tried with the rest, it stays like any
      // entry another program holds, with the way back, and is never the script's.
      {"from inside, a run log not its own held", false, "uninstall.exe", u"updates/rust-updater.log", way_back, {},
       true, nullptr, false, false, false, nullptr, true},
      {"from elsewhere, a run log not its own held", false, nullptr, u"updates/rust-updater.log", way_back, {}, true,
       nullptr, false, false, false, nullptr, true},
      {"from inside, a run log not its own", false, "uninstall.exe", nullptr, {u"Uninstall.exe"}, {"root"}, false,
       nullptr, false, false, false, nullptr, true},
  };
  for (const RootCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakeRemovalSystem fs;
    const std::u16string folder = c.link ? u"target" : u"root";
    lay_root(fs, folder);
    if (c.without_uninstaller) fs.nodes.erase(folder + u"/Uninstall.exe");
    if (c.link) fs.add_directory_link(u"root", u"target");
    if (c.root_reparse_point) {
      fs.nodes.at(u"root").attributes |= removal_code::kAttributeReparsePoint;
      fs.nodes.at(u"root").tag = c.root_tag;
    }
    fs.opens_follow_links = c.links_followed;
    if (c.busy) {
      const std::u16string busy = folder + u"/" + c.busy;
      fs.before_open = [busy](const test::OpenCall& call) -> std::optional<uint32_t> {
        return call.path == busy ? std::optional(test::status::kSharingViolation) : std::nullopt;
      };
    }
    bool use_no_reparse = true;
    const std::string final = c.final ? c.final : c.link ? "target" : "root";
    RootRemovalRequest request{"root", final, c.running ? std::optional<std::string>(c.running) : std::nullopt};
    if (c.world_left) request.worlds_left = {c.world_left};
    request.run_log_own = !c.run_log_not_own;
    // The worlds are searched and recycled in the folder that the removal empties.
    const std::string emptied = folder_emptied(fs, request.root, request.final);
    EXPECT_EQ(emptied, c.link ? "target" : "root");
    const RootRemoval removal = remove_install_root(fs, use_no_reparse, request);
    EXPECT_EQ(removal.whole.front(), emptied);

    std::vector<std::u16string> left;
    for (const std::u16string& path : kPaths) {
      if (fs.exists(folder + u"/" + path)) left.push_back(path);
    }
    std::vector<std::u16string> expected_left = c.left;
    std::sort(expected_left.begin(), expected_left.end());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, expected_left);
    EXPECT_EQ(removal.deferred, c.deferred);
    EXPECT_EQ(removal.way_back_kept, c.way_back_kept);
    EXPECT_EQ(removal.stayed.size(), (c.busy ? 1u : 0u) + (c.links_followed ? 2u : 0u));
    // The folder itself goes with its last entry; a link root goes after what it names.
    EXPECT_EQ(fs.exists(folder), !c.left.empty());
    if (c.link) {
      EXPECT_EQ(fs.exists(u"root"), !c.deferred.empty() || c.way_back_kept);
    }
    EXPECT_TRUE(fs.exists(u"outside/keep.txt")) << "a link below the root is removed as a link";
  }
  // A root that cannot be opened is never taken for a link: nothing is emptied by another path.
  test::FakeRemovalSystem unopened;
  EXPECT_EQ(folder_emptied(unopened, "root", "elsewhere"), "root");
}

}  // namespace
}  // namespace koravane
