#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/text/path_text.h"
#include "removal/worlds/worlds.h"

namespace koravane {
namespace {

constexpr uint32_t kFolder = 0x10;
constexpr uint32_t kFolderLink = 0x410;  // how Wine lists a Unix link to a folder
constexpr uint32_t kFile = 0x20;
constexpr uint32_t kCloudPlaceholder = 0x9000601A, kJunction = 0xA0000003;

// A tree of folders by full path; every folder listed is recorded, to show what the search enters.
// A folder named "Закрытая" may not be listed (access denied); one missing from the table went.
class TableListing final : public FolderListing {
 public:
  std::map<std::string, std::vector<ListedEntry>> folders;
  std::vector<std::string> listed;

  OsResult<std::vector<ListedEntry>> list(std::string_view folder) override {
    listed.emplace_back(folder);
    if (folder.ends_with("Закрытая")) return OsError{5};
    const auto found = folders.find(std::string(folder));
    if (found == folders.end()) return OsError{3};
    std::vector<ListedEntry> entries{{".", kFolder, 0}, {"..", kFolder, 0}};
    entries.insert(entries.end(), found->second.begin(), found->second.end());
    return entries;
  }
};

struct Case {
  const char* name;
  std::map<std::string, std::vector<ListedEntry>> tree;
  std::vector<std::string> worlds;
  std::vector<uint64_t> bytes;
  uint64_t unread = 0;
};

TEST(FindWorlds, FindsEachFolderHoldingLevelDatWithoutEnteringLinksOrWorlds) {
  const std::string r = "C:\\Games\\KoraVane";
  const std::vector<Case> cases = {
      {"the game's saves and an instance's, at different depths",
       {{r, {{"saves", kFolder}, {"instances", kFolder}, {"current.json", kFile, 9}}},
        {r + "\\saves", {{"Мир 1", kFolder}, {"Мир 2", kFolder}}},
        {r + "\\saves\\Мир 1", {{"level.dat", kFile, 100}, {"region", kFolder}}},
        {r + "\\saves\\Мир 1\\region", {{"r.0.0.mca", kFile, 4000}}},
        {r + "\\saves\\Мир 2", {{"LEVEL.DAT", kFile, 7}}},
        {r + "\\instances", {{"pack", kFolder}}},
        {r + "\\instances\\pack", {{"saves", kFolder}}},
        {r + "\\instances\\pack\\saves", {{"Survival", kFolder}}},
        {r + "\\instances\\pack\\saves\\Survival", {{"level.dat", kFile, 50}}}},
       {r + "\\saves\\Мир 1", r + "\\saves\\Мир 2", r + "\\instances\\pack\\saves\\Survival"},
       {4100, 7, 50}},
      {"a world inside a world is part of it",
       {{r, {{"saves", kFolder}}},
        {r + "\\saves", {{"outer", kFolder}}},
        {r + "\\saves\\outer", {{"level.dat", kFile, 10}, {"backup", kFolder}}},
        {r + "\\saves\\outer\\backup", {{"level.dat", kFile, 5}}}},
       {r + "\\saves\\outer"},
       {15}},
      {"a link inside saves is never entered, nor counted in a world",
       {{r, {{"saves", kFolder}}},
        {r + "\\saves", {{"linked", kFolderLink}, {"w", kFolder}}},
        {r + "\\saves\\linked", {{"level.dat", kFile, 1}}},
        {r + "\\saves\\w", {{"level.dat", kFile, 3}, {"elsewhere", kFolderLink}}},
        {r + "\\saves\\w\\elsewhere", {{"huge.bin", kFile, 1000000}}}},
       {r + "\\saves\\w"},
       {3}},
      {"a synced folder (a cloud placeholder) is entered; a junction is not",
       {{r, {{"saves", kFolderLink, 0, kCloudPlaceholder}, {"moved", kFolderLink, 0, kJunction}}},
        {r + "\\saves", {{"w", kFolderLink, 0, kCloudPlaceholder}}},
        {r + "\\saves\\w", {{"level.dat", kFile | 0x400, 6, kCloudPlaceholder}}},
        {r + "\\moved", {{"linked", kFolder}}},
        {r + "\\moved\\linked", {{"level.dat", kFile, 1}}}},
       {r + "\\saves\\w"},
       {6}},
      {"level.dat as a folder makes no world",
       {{r, {{"saves", kFolder}}},
        {r + "\\saves", {{"odd", kFolder}}},
        {r + "\\saves\\odd", {{"level.dat", kFolder}}},
        {r + "\\saves\\odd\\level.dat", {{"x", kFile, 1}}}},
       {},
       {}},
      {"a world at the root's top level; the root itself is none",
       {{r, {{"level.dat", kFile, 1}, {"Мир", kFolder}}}, {r + "\\Мир", {{"level.dat", kFile, 2}}}},
       {r + "\\Мир"},
       {2}},
      {"a folder that went meanwhile is passed over",
       {{r, {{"gone", kFolder}, {"saves", kFolder}}},
        {r + "\\saves", {{"w", kFolder}}},
        {r + "\\saves\\w", {{"level.dat", kFile, 4}}}},
       {r + "\\saves\\w"},
       {4}},
      {"a folder that may not be listed is passed over and counted, a world in it unseen",
       {{r, {{"saves", kFolder}, {"Закрытая", kFolder}}},
        {r + "\\saves", {{"w", kFolder}, {"Закрытая", kFolder}}},
        {r + "\\saves\\w", {{"level.dat", kFile, 4}}},
        {r + "\\saves\\Закрытая", {{"level.dat", kFile, 9}}}},
       {r + "\\saves\\w"},
       {4},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableListing listing;
    listing.folders = c.tree;
    const WorldSearch search = find_worlds(listing, r, {.with_sizes = true});
    const std::vector<World>& found = search.worlds;
    EXPECT_EQ(search.unread_folders, c.unread);
    std::vector<std::string> paths;
    std::vector<uint64_t> bytes;
    for (const World& world : found) {
      paths.push_back(world.path);
      bytes.push_back(world.bytes);
    }
    EXPECT_EQ(paths, c.worlds);
    EXPECT_EQ(bytes, c.bytes);
    for (const std::string& folder : listing.listed) {
      EXPECT_EQ(folder.find("linked"), std::string::npos) << folder;
      EXPECT_EQ(folder.find("elsewhere"), std::string::npos) << folder;
    }
  }
}

TEST(FindWorlds, WithoutSizesNothingBelowAWorldIsListedAndAStopEndsTheSearch) {
  TableListing listing;
  listing.folders = {{"R", {{"a", kFolder}, {"b", kFolder}}},
                     {"R\\a", {{"level.dat", kFile, 1}, {"region", kFolder}}},
                     {"R\\a\\region", {{"r.mca", kFile, 9}}},
                     {"R\\b", {{"level.dat", kFile, 1}}}};
  const std::vector<World> found = find_worlds(listing, "R").worlds;
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].bytes, 0u);
  EXPECT_EQ(listing.listed, (std::vector<std::string>{"R", "R\\a", "R\\b"}));

  const std::atomic<bool> stop{true};
  EXPECT_TRUE(find_worlds(listing, "R", {.stop = &stop}).worlds.empty());
}

// The shell's older call copies each path into MAX_PATH characters and acts on what is left, an
// empty path (the working folder) past it: it takes a world only where every path it reaches fits,
// counted in UTF-16 units, and only a plain, fully qualified one without wildcards.
TEST(OlderShellCall, TakesOnlyAPlainFullyQualifiedWorldWhoseEveryPathFits) {
  const std::string w = "C:\\K\\saves\\" + std::string(212, 'W');  // 223 characters, as the issue's
  const auto with_file = [&w](const std::string& name) {
    return std::map<std::string, std::vector<ListedEntry>>{{w, {{"level.dat", kFile}, {"region", kFolder}}},
                                                           {w + "\\region", {{name, kFile}}}};
  };
  const std::map<std::string, std::vector<ListedEntry>> linked = {
      {w, {{"level.dat", kFile}, {"linked", kFolderLink}}}, {w + "\\linked", {{std::string(100, 'x'), kFile}}}};
  std::string p28;  // 28 characters in 14 surrogate pairs
  for (int i = 0; i < 14; ++i) p28 += "🎮";
  // Folders of 50 below each other, the sixth never listed: measuring stops past the limit.
  std::map<std::string, std::vector<ListedEntry>> deep = {{w, {{"level.dat", kFile}}}};
  for (std::string folder = w; folder.size() < w.size() + 6 * 51; folder += "\\" + std::string(50, 'd')) {
    deep[folder].push_back({std::string(50, 'd'), kFolder});
  }
  struct Case {
    const char* what;
    std::string world;
    std::map<std::string, std::vector<ListedEntry>> tree;
    uint32_t refusal;
  };
  const std::vector<Case> cases = {
      {"every path within 259", w, with_file(std::string(28, 'r')), 0},
      {"a file one past 259", w, with_file(std::string(29, 'r')), 206},
      {"Cyrillic letters count one unit each", w, with_file(std::string(14, 'r') + "рррррррррррррр"), 0},
      {"an emoji counts two", w, with_file(p28 + "r"), 206},
      {"a link's name counts, not what it names", w, linked, 0},
      {"a folder below that cannot be listed", w, {{w, {{"level.dat", kFile}, {"locked", kFolder}}}}, 3},
      {"past the limit nothing deeper is listed", w, deep, 206},
      {"a share", "\\\\srv\\share\\w", {{"\\\\srv\\share\\w", {}}}, 0},
  };
  for (const Case& c : cases) {
    TableListing listing;
    listing.folders = c.tree;
    const OsResult<size_t> below = longest_below(listing, c.world, kPlainPathLimit);
    EXPECT_EQ(below ? older_call_refusal(c.world, below.value()) : below.error().code, c.refusal) << c.what;
  }
  for (const char* refused : {"saves\\w", "", "C:saves\\w", "\\\\?\\C:\\K\\w", "\\\\.\\C:\\K\\w", "\\\\?\\Volume{1}\\w",
                              "C:\\K\\w*", "C:\\"}) {
    EXPECT_EQ(older_call_refusal(refused, 0), 161u) << refused;
  }
}

}  // namespace
}  // namespace koravane
