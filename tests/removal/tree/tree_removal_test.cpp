#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "removal/tree/fake_removal_system.h"
#include "removal/tree/tree_removal_core.h"

namespace koravane {
namespace {

using test::FakeRemovalSystem;
namespace status = test::status;

constexpr uint32_t kReadOnly = removal_code::kAttributeReadOnly;
constexpr uint32_t kNotALink = removal_code::kNotALink;

// Names of 58 to 62 units: a 1024-byte batch holds about five records.
std::u16string long_name(int i) {
  return u"entry-with-a-long-name-so-that-one-batch-cannot-hold-all-" + std::u16string(1, u'a' + i % 26) +
         std::u16string(static_cast<size_t>(i % 5) + 1, u'x');
}

std::string narrow(const std::u16string& ascii) { return std::string(ascii.begin(), ascii.end()); }

// With the extended disposition and without it (as under Wine, where a read-only file is opened
// a second time to clear the attribute).
template <class Case, size_t N>
std::vector<std::pair<const Case&, uint32_t>> with_each_disposition(const Case (&cases)[N]) {
  std::vector<std::pair<const Case&, uint32_t>> all;
  for (const Case& c : cases) {
    for (const uint32_t ex_error : {0u, removal_code::kInvalidParameter}) all.emplace_back(c, ex_error);
  }
  return all;
}

// top/ with files, two levels of subdirectories and enough long names to need several batches.
void build_tree(FakeRemovalSystem& fs, uint32_t file_attributes = 0) {
  fs.add_directory(u"top");
  fs.add_directory(u"top/a");
  fs.add_directory(u"top/a/b");
  fs.add_file(u"top/a/b/deep.txt", file_attributes);
  fs.add_file(u"top/a/mid.txt", file_attributes);
  for (int i = 0; i < 30; ++i) fs.add_file(u"top/" + long_name(i), file_attributes);
  fs.add_directory(u"top/z");
}

struct Removal {
  FakeRemovalSystem fs;
  bool use_no_reparse = true;
  RemovalProgress progress;
  StayedEntries stayed;
  OsStatus run(std::string_view path = "top") {
    return remove_tree_with_retries(fs, use_no_reparse, path, {&progress, &stayed});
  }
  uint64_t files_removed() const { return progress.files_removed.load(); }
};

TEST(ListingCursor, FollowsNextEntryOffsetsToUnalignedRecords) {
  alignas(8) std::array<std::byte, 400> batch{};
  auto put = [&](size_t at, uint32_t value) { std::memcpy(batch.data() + at, &value, 4); };
  const std::u16string first = u"abc", second = u"файл";
  put(0, 110);  // the second record starts at an offset that is not a multiple of 4
  put(56, 0x10);
  put(60, 6);
  std::memcpy(batch.data() + 104, first.data(), 6);
  put(110 + 56, 0x21);
  put(110 + 60, 8);
  std::memcpy(batch.data() + 110 + 104, second.data(), 8);

  const uint64_t id = 0x0123456789abcdefu;
  std::memcpy(batch.data() + 110 + 96, &id, 8);

  ListingCursor cursor(batch);
  EntryFacts facts;
  std::u16string name;
  ASSERT_TRUE(cursor.next(facts, name));
  EXPECT_EQ(facts.attributes, 0x10u);
  EXPECT_EQ(facts.id, 0u);
  EXPECT_EQ(name, first);
  ASSERT_TRUE(cursor.next(facts, name));
  EXPECT_EQ(facts.attributes, 0x21u);
  EXPECT_EQ(facts.id, id);
  EXPECT_EQ(name, second);
  EXPECT_FALSE(cursor.next(facts, name));
}

TEST(TreeRemoval, RemovesANestedTreeInOneAttemptHoldingOneHandlePerLevel) {
  Removal r;
  build_tree(r.fs);
  r.fs.add_file(u"outside");
  ASSERT_TRUE(r.run().ok());
  EXPECT_EQ(r.fs.nodes.size(), 1u);  // only the file beside the tree
  EXPECT_EQ(r.files_removed(), 32u) << "every file counted once, no directory";
  EXPECT_EQ(r.fs.top_opens, 1);
  EXPECT_EQ(r.fs.waits, 0);
  EXPECT_EQ(r.fs.open_handles, 0u);
  EXPECT_EQ(r.fs.peak_directory_handles, 3u);  // top, a, b
  // More than one batch: some listings continue, and after a subdirectory goes its parent restarts.
  EXPECT_NE(std::count(r.fs.listing_restarts.begin(), r.fs.listing_restarts.end(), false), 0);
  for (const auto& open : r.fs.opens) {
    EXPECT_NE(open.options & removal_code::kOpenReparsePoint, 0u);
    EXPECT_EQ(open.object_attributes, removal_code::kObjDontReparse);
  }
}

TEST(TreeRemoval, MissingPathSucceedsWithoutAnyAttemptOrWait) {
  Removal r;
  EXPECT_TRUE(r.run("nowhere").ok());
  EXPECT_EQ(r.fs.top_opens, 0);
  EXPECT_EQ(r.fs.waits, 0);
}

// Only a missing path counts as gone; a path that cannot be inspected for another reason is
// still there, and the attempts say why it stays.
TEST(TreeRemoval, APathThatCannotBeInspectedIsTriedAndItsFailureReported) {
  Removal r;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/a");
  r.fs.inspect_error = removal_code::kAccessDenied;
  EXPECT_TRUE(r.run().ok()) << "the attempts themselves could open it";
  EXPECT_FALSE(r.fs.exists(u"top"));

  Removal refused;
  refused.fs.add_directory(u"top");
  refused.fs.inspect_error = removal_code::kAccessDenied;
  refused.fs.before_open = [](const test::OpenCall&) { return std::optional<uint32_t>(test::status::kAccessDenied); };
  refused.fs.add_file(u"top/a");
  EXPECT_EQ(refused.run().error().code, removal_code::kAccessDenied);
  EXPECT_EQ(refused.fs.top_opens, 8);
  EXPECT_TRUE(refused.fs.exists(u"top/a"));
}

TEST(TreeRemoval, PlainFileAtTheTopFailsEveryAttemptWithErrorDirectory) {
  Removal r;
  r.fs.add_file(u"top");
  EXPECT_EQ(r.run().error().code, removal_code::kDirectory);
  EXPECT_EQ(r.fs.top_opens, 8);
  EXPECT_EQ(r.fs.waits, 8);
  EXPECT_TRUE(r.fs.exists(u"top"));
}

TEST(TreeRemoval, LinksAreRemovedAsLinksAndTargetsKeepTheirContents) {
  Removal r;
  r.fs.add_directory(u"target");
  r.fs.add_file(u"target/keep.txt");
  r.fs.add_directory(u"top");
  r.fs.add_directory_link(u"top/link", u"target");
  r.fs.add_directory_link(u"toplink", u"target");
  ASSERT_TRUE(r.run().ok());
  EXPECT_FALSE(r.fs.exists(u"top"));
  ASSERT_TRUE(r.run("toplink").ok());
  EXPECT_FALSE(r.fs.exists(u"toplink"));
  EXPECT_TRUE(r.fs.exists(u"target/keep.txt"));
}

// What links may name: a folder with a read-only file, and an empty folder, which a deletion
// through a handle that followed the link would take.
void lay_link_targets(FakeRemovalSystem& fs) {
  fs.add_directory(u"outside");
  fs.add_file(u"outside/keep.txt", kReadOnly);
  fs.add_directory(u"empty");
}

// Every entry outside the tree, with its attributes and id.
std::map<std::u16string, std::pair<uint32_t, uint64_t>> outside_tree(const FakeRemovalSystem& fs) {
  std::map<std::u16string, std::pair<uint32_t, uint64_t>> entries;
  for (const auto& [path, node] : fs.nodes) {
    if (!path.starts_with(u"top")) entries[path] = {node.attributes, node.id};
  }
  return entries;
}

// A link in the tree is removed as itself, or stays and is named; it is never walked, and
// nothing is done through a handle that opened as something else than what was listed: a folder,
// another entry, or a file the system names otherwise. With either disposition.
TEST(TreeRemoval, ALinkGoesAsItselfOrStaysNamedAndWhatItNamesNeverChanges) {
  struct Case {
    const char* what;
    bool opens_follow_links;  // the system opens a link as the folder it names
    // Lays top/saves/entry (and the hooks that play whoever changes it).
    std::function<void(FakeRemovalSystem&)> lay;
    uint32_t error;  // 0: the entry goes
  };
  const auto link_to = [](std::u16string target, bool same_id_as_target = false) {
    return [=](FakeRemovalSystem& fs) {
      fs.add_directory_link(u"top/saves/entry", target, same_id_as_target ? fs.nodes.at(target).id : 0);
    };
  };
  // The entry is replaced when it is opened with access, as by another program in between.
  const auto replaced_on_open = [](uint32_t access, std::function<void(FakeRemovalSystem&)> lay,
                                   std::function<void(FakeRemovalSystem&)> replace) {
    return [=](FakeRemovalSystem& fs) {
      lay(fs);
      fs.before_open = [&fs, access, replace](const test::OpenCall& call) -> std::optional<uint32_t> {
        if (call.path == u"top/saves/entry" && (call.access & access) != 0) replace(fs);
        return std::nullopt;
      };
    };
  };
  const auto plain_folder = [](FakeRemovalSystem& fs) {
    fs.add_directory(u"top/saves/entry");
    fs.add_file(u"top/saves/entry/world.dat");
  };
  const auto another_folder = [](FakeRemovalSystem& fs) {
    fs.nodes.erase(u"top/saves/entry/world.dat");
    fs.add_directory(u"top/saves/entry");  // a new id
    fs.add_file(u"top/saves/entry/other.dat");
  };
  const auto now_a_link = [](FakeRemovalSystem& fs) {
    fs.nodes.erase(u"top/saves/entry/world.dat");
    FakeRemovalSystem::Node& node = fs.nodes.at(u"top/saves/entry");  // the same id
    node.attributes |= removal_code::kAttributeReparsePoint;
    node.link_target = u"outside";
  };
  const Case cases[] = {
      {"a link opened as itself", false, link_to(u"outside"), 0},
      {"the listing says link, the open says the folder it names", true, link_to(u"outside", true), kNotALink},
      {"the same, naming an empty folder", true, link_to(u"empty", true), kNotALink},
      {"the same, naming the folder that holds it", true, link_to(u"top/saves", true), kNotALink},
      {"another link in its place once opened", false,
       replaced_on_open(removal_code::kAccessDelete, link_to(u"outside"), link_to(u"empty")), kNotALink},
      {"a folder listed, another folder in its place once opened", false,
       replaced_on_open(removal_code::kAccessListDirectory, plain_folder, another_folder), kNotALink},
      {"a folder listed, a link when opened", false,
       replaced_on_open(removal_code::kAccessListDirectory, plain_folder, now_a_link), 0},
      {"a link that cannot be removed as itself", false,
       [](FakeRemovalSystem& fs) {
         fs.add_directory_link(u"top/saves/entry", u"outside");
         fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
           if (call.path != u"top/saves/entry" || (call.access & removal_code::kAccessDelete) == 0) return std::nullopt;
           return status::kAccessDenied;
         };
       },
       removal_code::kAccessDenied},
      // Wine lists and opens it as the read-only file it names; only the handle's name tells.
      {"a Unix link to a file outside", false,
       [](FakeRemovalSystem& fs) { fs.add_unix_file_link(u"top/saves/entry", u"outside/keep.txt"); }, kNotALink},
      {"a hard link to a file outside", false,
       [](FakeRemovalSystem& fs) { fs.add_hard_link(u"top/saves/entry", u"outside/keep.txt"); }, 0},
  };
  for (const auto& [c, ex_error] : with_each_disposition(cases)) {
    SCOPED_TRACE(c.what + std::string(ex_error != 0 ? ", no extended disposition" : ""));
    Removal r;
    r.fs.ex_disposition_error = ex_error;
    lay_link_targets(r.fs);
    build_tree(r.fs);
    r.fs.add_directory(u"top/saves");
    r.fs.add_file(u"top/saves/save.dat");
    c.lay(r.fs);
    r.fs.opens_follow_links = c.opens_follow_links;
    const auto outside = outside_tree(r.fs);
    EXPECT_EQ(error_code(r.run()), c.error);
    EXPECT_EQ(outside_tree(r.fs), outside);
    std::vector<std::u16string> left;
    for (const auto& [path, node] : r.fs.nodes) {
      if (path.starts_with(u"top")) left.push_back(path);
    }
    if (c.error == 0) {
      EXPECT_TRUE(left.empty());
      continue;
    }
    const std::vector<std::u16string> expected = {u"top", u"top/saves", u"top/saves/entry"};
    EXPECT_EQ(std::vector(left.begin(), left.begin() + std::min<size_t>(3, left.size())), expected);
    ASSERT_EQ(r.stayed.size(), 1u);
    EXPECT_EQ(r.stayed[0].path, "top\\saves\\entry");
    EXPECT_TRUE(r.stayed[0].link);
    EXPECT_EQ(r.files_removed(), 33u) << "everything else went";
    EXPECT_EQ(r.fs.open_handles, 0u);
  }
}

// Which reparse points are links, by their tags as Microsoft documents them: only a name
// surrogate names another entry; tag 0 (as Wine lists its links, or where the system gives none)
// is taken for one. Without the attribute, the field holds no tag.
TEST(Links, ANameSurrogateOrAnUnknownTagIsALink) {
  // Symbolic link, junction or mount point, WSL's link, Wine's links; then cloud file, OneDrive's
  // placeholder folder, projected file system, deduplicated, WOF-compressed, app execution alias.
  for (const uint32_t tag : {0xA000000Cu, 0xA0000003u, 0xA000001Du, 0u}) EXPECT_TRUE(is_link(0x410, tag)) << tag;
  for (const uint32_t tag : {0x9000001Au, 0x9000601Au, 0x9000001Cu, 0x80000013u, 0x80000017u, 0x8000001Bu}) {
    EXPECT_FALSE(is_link(EntryFacts{0x420, 7, tag})) << tag;
  }
  EXPECT_FALSE(is_link(0x10, 0xA0000003));
}

// A folder below the top that is a reparse point is entered unless its tag names another place:
// a cloud placeholder or projected folder is emptied and removed like any, a deduplicated file in
// it deleted as itself; a link goes as itself, never entered.
TEST(TreeRemoval, AReparsePointIsEnteredUnlessItsTagNamesAnotherPlace) {
  struct Case {
    const char* what;
    uint32_t tag;
    bool link;
    bool tags_unknown = false;  // the system gives no tag anywhere
  };
  const Case cases[] = {
      {"a OneDrive placeholder folder", 0x9000601A, false},
      {"a projected file system's folder", 0x9000001C, false},
      {"a symbolic link", 0xA000000C, true},
      {"a junction", 0xA0000003, true},
      {"tag 0, as Wine lists its links", 0, true},
      {"a junction whose tag the system does not give", 0xA0000003, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Removal r;
    r.fs.tags_unknown = c.tags_unknown;
    lay_link_targets(r.fs);
    build_tree(r.fs);
    if (c.link) {
      r.fs.add_directory_link(u"top/entry", u"outside", 0, c.tag);
    } else {
      r.fs.add_directory(u"top/entry", removal_code::kAttributeReparsePoint, c.tag);
      r.fs.add_file(u"top/entry/notes.txt");
      r.fs.add_file(u"top/entry/big.bin", removal_code::kAttributeReparsePoint, 0x80000013);
      r.fs.add_directory(u"top/entry/saves", removal_code::kAttributeReparsePoint, c.tag);
      r.fs.add_file(u"top/entry/saves/level.dat", kReadOnly);
    }
    const auto outside = outside_tree(r.fs);
    ASSERT_TRUE(r.run().ok());
    EXPECT_FALSE(r.fs.exists(u"top"));
    EXPECT_EQ(outside_tree(r.fs), outside);
    EXPECT_EQ(r.files_removed(), c.link ? 32u : 35u);
    EXPECT_EQ(r.fs.waits, 0);
    for (const test::OpenCall& open : r.fs.opens) {
      EXPECT_EQ(c.link && open.path.starts_with(u"top/entry/"), false) << narrow(open.path);
    }
  }
}

// The top of a removal (the settings folder, a launcher entry) is a link when a listing of its
// name says so: it goes as itself, even once what it names went, or stays and is named.
TEST(TreeRemoval, ALinkAtTheTopGoesAsItselfOrStaysNamed) {
  struct Case {
    const char* what;
    bool opens_follow_links;
    const char16_t* target;  // what "top" names
    bool as_launcher_entry;  // through remove_entry rather than the tree removal
    uint32_t error;
  };
  const Case cases[] = {
      {"settings as a link opened as itself", false, u"outside", false, 0},
      {"settings as a link opened as what it names", true, u"outside", false, kNotALink},
      {"the same, naming an empty folder", true, u"empty", false, kNotALink},
      {"a launcher entry linked to a folder that went", false, u"gone", true, 0},
      {"a launcher entry opened as what it names", true, u"empty", true, kNotALink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Removal r;
    lay_link_targets(r.fs);
    r.fs.add_directory_link(u"top", c.target);
    r.fs.opens_follow_links = c.opens_follow_links;
    const auto outside = outside_tree(r.fs);
    const OsStatus removed = c.as_launcher_entry
                                 ? remove_entry(r.fs, r.use_no_reparse, "top", {&r.progress, &r.stayed})
                                 : r.run();
    EXPECT_EQ(error_code(removed), c.error);
    EXPECT_EQ(r.fs.exists(u"top"), c.error != 0);
    EXPECT_EQ(outside_tree(r.fs), outside);
    EXPECT_EQ(r.stayed.size(), c.error != 0 ? 1u : 0u);
    EXPECT_EQ(r.fs.open_handles, 0u);
  }
}

// Another process deleted the entry just before our open; the system answers with status.
void expect_vanished_entries_count_as_deleted(uint32_t nt_status) {
  Removal r;
  build_tree(r.fs);
  r.fs.before_open = [&](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path != u"top/a/mid.txt" && call.path != u"top/z") return std::nullopt;
    r.fs.nodes.erase(call.path);
    return nt_status;
  };
  EXPECT_TRUE(r.run().ok());
  EXPECT_EQ(r.fs.top_opens, 1);
  EXPECT_TRUE(r.fs.nodes.empty());
}

TEST(TreeRemoval, EntriesAlreadyGoneCountAsDeleted) {
  for (uint32_t nt_status : {status::kObjectNameNotFound, status::kObjectPathNotFound,
                             status::kBadNetworkPath, status::kBadNetworkName, status::kDeletePending}) {
    SCOPED_TRACE(nt_status);
    expect_vanished_entries_count_as_deleted(nt_status);
  }
}

TEST(TreeRemoval, AnyOtherOpenFailureFailsEveryAttemptWithItsCode) {
  Removal r;
  build_tree(r.fs);
  r.fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path == u"top/a/b") return status::kAccessDenied;
    return std::nullopt;
  };
  EXPECT_EQ(r.run().error().code, removal_code::kAccessDenied);
  EXPECT_EQ(r.fs.top_opens, 8);
  EXPECT_EQ(r.fs.waits, 8);
  EXPECT_TRUE(r.fs.exists(u"top/a/b/deep.txt"));
  EXPECT_EQ(r.fs.open_handles, 0u);
}

TEST(TreeRemoval, NoReparseAttributeIsDroppedOnceForTheRestOfTheRun) {
  Removal r;
  build_tree(r.fs);
  r.fs.reject_no_reparse = true;
  ASSERT_TRUE(r.run().ok());
  EXPECT_FALSE(r.use_no_reparse);
  ASSERT_GE(r.fs.opens.size(), 2u);
  EXPECT_EQ(r.fs.opens[0].object_attributes, removal_code::kObjDontReparse);
  EXPECT_EQ(r.fs.opens[1].path, r.fs.opens[0].path);
  for (size_t i = 1; i < r.fs.opens.size(); ++i) EXPECT_EQ(r.fs.opens[i].object_attributes, 0u);

  // A later call starts without it.
  build_tree(r.fs);
  r.fs.opens.clear();
  ASSERT_TRUE(r.run().ok());
  for (const auto& open : r.fs.opens) EXPECT_EQ(open.object_attributes, 0u);
}

TEST(TreeRemoval, DeletePendingOnTheOpenWithoutNoReparseMeansGone) {
  Removal r;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/going");
  r.fs.reject_no_reparse = true;
  r.fs.before_open = [&](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path != u"top/going") return std::nullopt;
    r.fs.nodes.erase(call.path);
    return status::kDeletePending;
  };
  EXPECT_TRUE(r.run().ok());
  EXPECT_EQ(r.fs.top_opens, 1);
  EXPECT_FALSE(r.use_no_reparse);
}

TEST(TreeRemoval, InvalidParameterWithoutNoReparseIsAPlainFailure) {
  Removal r;
  r.use_no_reparse = false;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/odd");
  r.fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path == u"top/odd") return status::kInvalidParameter;
    return std::nullopt;
  };
  EXPECT_EQ(r.run().error().code, removal_code::kInvalidParameter);
  EXPECT_EQ(r.fs.opens.size(), 8u);  // one open per attempt, no second try
}

TEST(TreeRemoval, ReadOnlyEntriesGoThroughTheExtendedDispositionWhereItWorks) {
  Removal r;
  build_tree(r.fs, kReadOnly);
  ASSERT_TRUE(r.run().ok());
  EXPECT_TRUE(r.fs.nodes.empty());
  EXPECT_EQ(r.fs.plain_marks, 0);
  EXPECT_EQ(r.fs.attribute_writes, 0);
}

// The attribute belongs to the file: cleared for the deletion, it is put back, so that the file's
// other names (a hard link outside the tree) keep it.
TEST(TreeRemoval, WithoutTheExtendedDispositionReadOnlyIsClearedForTheDeletionAndPutBack) {
  for (uint32_t unsupported : {removal_code::kInvalidFunction, removal_code::kNotSupported,
                               removal_code::kInvalidParameter}) {
    SCOPED_TRACE(unsupported);
    Removal r;
    build_tree(r.fs, kReadOnly);
    r.fs.add_file(u"top/a/writable.txt");
    r.fs.nodes.at(u"top/a/b").attributes |= kReadOnly;
    r.fs.add_hard_link(u"elsewhere.txt", u"top/a/mid.txt");
    r.fs.ex_disposition_error = unsupported;
    ASSERT_TRUE(r.run().ok());
    ASSERT_EQ(r.fs.nodes.size(), 1u);
    EXPECT_EQ(r.fs.nodes.at(u"elsewhere.txt").attributes, kReadOnly);
    EXPECT_EQ(r.fs.top_opens, 1);
  }
}

TEST(TreeRemoval, OtherDispositionFailuresAreNotRetriedThePlainWay) {
  Removal r;
  build_tree(r.fs);
  r.fs.ex_disposition_error = removal_code::kAccessDenied;
  EXPECT_EQ(r.run().error().code, removal_code::kAccessDenied);
  EXPECT_EQ(r.fs.plain_marks, 0);
}

TEST(TreeRemoval, ReadOnlyThatCannotBeClearedFailsWithAccessDenied) {
  Removal r;
  build_tree(r.fs, kReadOnly);
  r.fs.ex_disposition_error = removal_code::kNotSupported;
  r.fs.write_attributes_error = 1117;  // ERROR_IO_DEVICE
  EXPECT_EQ(r.run().error().code, removal_code::kAccessDenied);
  EXPECT_EQ(r.fs.top_opens, 8);
}

// Access denied from the plain disposition means "read-only" only for an entry listed as
// read-only; any other entry keeps its attributes and fails with the code as it is.
TEST(TreeRemoval, PlainDispositionRefusedForAWritableEntryIsNotTreatedAsReadOnly) {
  Removal r;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/running.exe", 0x20);
  r.fs.running_images.insert(u"top/running.exe");
  r.fs.ex_disposition_error = removal_code::kNotSupported;
  EXPECT_EQ(r.run().error().code, removal_code::kAccessDenied);
  EXPECT_EQ(r.fs.attribute_writes, 0);
  EXPECT_EQ(r.fs.plain_marks, 8);
  EXPECT_EQ(r.fs.nodes.at(u"top/running.exe").attributes, 0x20u);
}

// After dropping the no-reparse attribute, only delete-pending and the already-gone codes of the
// second open mean gone; a refusal stays a failure.
TEST(TreeRemoval, RefusalOnTheOpenWithoutNoReparseIsAFailure) {
  Removal r;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/guarded");
  r.fs.reject_no_reparse = true;
  r.fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path == u"top/guarded") return status::kAccessDenied;
    return std::nullopt;
  };
  // The attempt that drops the attribute fails on the entry itself, not later on the directory.
  StayedEntries stayed;
  EXPECT_EQ(error_code(remove_tree_once(r.fs, r.use_no_reparse, "top", {}, stayed)), removal_code::kAccessDenied);
  EXPECT_FALSE(r.use_no_reparse);
  EXPECT_TRUE(r.fs.exists(u"top/guarded"));
  EXPECT_EQ(r.fs.yields, 0);
}

// An entry that cannot go keeps itself and the folders above it, nothing else: wherever it comes
// in the tree's order, every attempt goes on past it, and later attempts meet only what stayed.
TEST(TreeRemoval, AnEntryThatCannotGoCostsOnlyItself) {
  struct Case {
    const char* what;
    std::vector<std::u16string> refused;  // file: a sharing violation; folder: access denied
    std::vector<std::string> named;       // the entries that stay themselves, in the order met
    uint32_t error;                       // the first of them
    uint64_t removed;                     // files that went, of 33
  };
  const Case cases[] = {
      {"busy file first", {u"top/a/b/deep.txt"}, {"top\\a\\b\\deep.txt"}, removal_code::kSharingViolation, 32},
      {"busy file in the middle", {u"top/" + long_name(12)}, {"top\\" + narrow(long_name(12))},
       removal_code::kSharingViolation, 32},
      {"busy file last", {u"top/z/last.txt"}, {"top\\z\\last.txt"}, removal_code::kSharingViolation, 32},
      {"busy folder", {u"top/a/b"}, {"top\\a\\b"}, removal_code::kAccessDenied, 32},
      {"two of them", {u"top/a/mid.txt", u"top/z"}, {"top\\a\\mid.txt", "top\\z"}, removal_code::kSharingViolation, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Removal r;
    build_tree(r.fs);
    r.fs.add_file(u"top/z/last.txt");
    std::map<std::u16string, int> deletions;
    r.fs.before_open = [&](const test::OpenCall& call) -> std::optional<uint32_t> {
      if (call.access & removal_code::kAccessDelete) ++deletions[call.path];
      if (std::find(c.refused.begin(), c.refused.end(), call.path) == c.refused.end()) return std::nullopt;
      return r.fs.nodes.at(call.path).directory ? status::kAccessDenied : status::kSharingViolation;
    };
    EXPECT_EQ(r.run().error().code, c.error);
    std::vector<std::string> named;
    for (const StayedEntry& entry : r.stayed) named.push_back(entry.path);
    EXPECT_EQ(named, c.named);
    // What stays: the refused entries, what they hold, and the folders above them.
    for (const auto& [path, node] : r.fs.nodes) {
      const bool refused_or_below = std::any_of(c.refused.begin(), c.refused.end(), [&](const std::u16string& refused) {
        return path == refused || path.starts_with(refused + u"/") || refused.starts_with(path + u"/");
      });
      EXPECT_TRUE(refused_or_below) << narrow(path);
    }
    EXPECT_EQ(r.fs.waits, 8);
    for (const auto& [path, count] : deletions) {
      const bool refused = std::find(c.refused.begin(), c.refused.end(), path) != c.refused.end();
      if (refused || r.fs.exists(path)) continue;
      EXPECT_EQ(count, 1) << "deleted once, never tried again: " << narrow(path);
    }
    EXPECT_EQ(r.files_removed(), c.removed);
    EXPECT_EQ(r.fs.open_handles, 0u);
  }
}

TEST(TreeRemoval, ABusyFileIsTriedFiftyTimesInEachAttempt) {
  Removal r;
  r.fs.add_directory(u"top");
  for (auto name : {u"a", u"b", u"locked", u"y", u"z"}) r.fs.add_file(u"top/" + std::u16string(name));
  r.fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path == u"top/locked") return status::kSharingViolation;
    return std::nullopt;
  };
  EXPECT_EQ(r.run().error().code, removal_code::kSharingViolation);
  EXPECT_EQ(std::count_if(r.fs.opens.begin(), r.fs.opens.end(),
                          [](const test::OpenCall& c) { return c.path == u"top/locked"; }),
            8 * 50);
  EXPECT_EQ(r.fs.yields, 8 * 49) << "no quick retries spent on the folder that holds it";
  EXPECT_EQ(r.files_removed(), 4u);
  EXPECT_EQ(r.fs.children(u"top"), std::vector<std::u16string>{u"locked"});
}

TEST(TreeRemoval, FileReleasedDuringTheQuickRetriesIsDeletedInTheSameAttempt) {
  Removal r;
  r.fs.add_directory(u"top");
  r.fs.add_file(u"top/locked");
  bool locked = true;
  r.fs.on_yield = [&](int yields) { locked = yields < 10; };
  r.fs.before_open = [&](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (locked && call.path == u"top/locked") return status::kSharingViolation;
    return std::nullopt;
  };
  EXPECT_TRUE(r.run().ok());
  EXPECT_EQ(r.fs.top_opens, 1);
  EXPECT_EQ(r.fs.yields, 10);
}

TEST(TreeRemoval, DirectoryRefilledMeanwhileIsRetriedFiftyTimesThenFails) {
  Removal r;
  r.fs.add_directory(u"top");
  int refills = 0;
  // Another program drops a file into the directory each time it is about to be deleted.
  r.fs.before_open = [&](const test::OpenCall& call) -> std::optional<uint32_t> {
    if (call.path == u"top" && (call.access & removal_code::kAccessDelete)) {
      r.fs.add_file(u"top/new" + std::u16string(1, u'0' + refills++ % 10));
    }
    return std::nullopt;
  };
  EXPECT_EQ(r.run().error().code, removal_code::kDirNotEmpty);
  EXPECT_EQ(refills, 8 * 50);
  EXPECT_EQ(r.fs.waits, 8);
}

TEST(SingleFileRemoval, DeletesByNameAndReportsOtherFailuresAsTheyAre) {
  FakeRemovalSystem fs;
  fs.add_file(u"f");
  EXPECT_TRUE(remove_single_file(fs, "f").ok());
  EXPECT_FALSE(fs.exists(u"f"));
  EXPECT_EQ(remove_single_file(fs, "f").error().code, removal_code::kFileNotFound);
}

TEST(SingleFileRemoval, ReadOnlyFileGoesThroughTheExtendedDisposition) {
  FakeRemovalSystem fs;
  fs.add_file(u"f", kReadOnly);
  EXPECT_TRUE(remove_single_file(fs, "f").ok());
  EXPECT_FALSE(fs.exists(u"f"));
  EXPECT_EQ(fs.attribute_writes, 0);
}

// Whether the name goes or the deletion is refused, the file keeps the attribute for its other names.
TEST(SingleFileRemoval, WithoutTheExtendedDispositionReadOnlyIsClearedForTheDeletionAndPutBack) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused);
    FakeRemovalSystem fs;
    fs.add_file(u"f", kReadOnly | 0x20);
    fs.add_hard_link(u"other", u"f");
    if (refused) fs.running_images.insert(u"f");
    fs.ex_disposition_error = removal_code::kInvalidParameter;
    EXPECT_EQ(error_code(remove_single_file(fs, "f")), refused ? removal_code::kAccessDenied : 0u);
    EXPECT_EQ(fs.exists(u"f"), refused);
    EXPECT_EQ(fs.nodes.at(u"other").attributes, kReadOnly | 0x20);
    EXPECT_EQ(fs.attribute_writes, 2);
    EXPECT_EQ(fs.open_handles, 0u);
  }
}

// Without the extended disposition a read-only file is opened again to clear the attribute: what
// fails after the plain deletion's refusal is that refusal.
TEST(SingleFileRemoval, FailuresAfterAccessDeniedReportTheFirstAccessDenied) {
  FakeRemovalSystem fs;
  fs.add_file(u"f", kReadOnly);
  fs.ex_disposition_error = removal_code::kNotSupported;
  fs.before_open = [](const test::OpenCall& call) -> std::optional<uint32_t> {
    if ((call.access & removal_code::kAccessWriteAttributes) == 0) return std::nullopt;
    return status::kSharingViolation;
  };
  EXPECT_EQ(remove_single_file(fs, "f").error().code, removal_code::kAccessDenied);
  fs.before_open = nullptr;
  fs.write_attributes_error = 1117;
  EXPECT_EQ(remove_single_file(fs, "f").error().code, removal_code::kAccessDenied);
  EXPECT_TRUE(fs.exists(u"f"));
  EXPECT_EQ(fs.plain_marks, 2);
  EXPECT_EQ(fs.open_handles, 0u);
}

// A single file (a launcher entry, the root's uninstaller, a shortcut) goes only through a handle
// the system names as its folder and name: a Unix link as Wine shows it, opened as the read-only
// file it names, stays and that file keeps everything; a hard link's name goes. Where the system
// gives no names, a file goes as before.
TEST(SingleFileRemoval, AFileWhoseHandleIsNamedOtherwiseStays) {
  const struct {
    const char* what;
    bool unix_link;  // else a hard link
    bool names_given;
    uint32_t error;
  } cases[] = {{"a Unix link", true, true, kNotALink}, {"a hard link", false, true, 0}, {"no names", false, false, 0}};
  for (const auto& [c, ex_error] : with_each_disposition(cases)) {
    SCOPED_TRACE(c.what + std::string(ex_error != 0 ? ", no extended disposition" : ""));
    FakeRemovalSystem fs;
    fs.ex_disposition_error = ex_error;
    lay_link_targets(fs);
    fs.add_directory(u"top");
    if (c.unix_link) fs.add_unix_file_link(u"top/Uninstall.exe", u"outside/keep.txt");
    if (!c.unix_link) fs.add_hard_link(u"top/Uninstall.exe", u"outside/keep.txt");
    if (!c.names_given) fs.name_error = removal_code::kInvalidParameter;
    const auto outside = outside_tree(fs);
    EXPECT_EQ(error_code(remove_single_file(fs, "top\\Uninstall.exe")), c.error);
    EXPECT_EQ(fs.exists(u"top/Uninstall.exe"), c.error != 0);
    EXPECT_EQ(outside_tree(fs), outside);
    EXPECT_EQ(fs.open_handles, 0u);
  }
}

}  // namespace
}  // namespace koravane
