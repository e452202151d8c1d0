// Tree and single-file removal on the real file system of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "removal/tree/tree_removal.h"
#include "removal/tree/tree_removal_core.h"
#include "removal/tree/tree_removal_system_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::fresh_folder;
using test::path_exists;
using test::write_file;

// The real system with the pause after a failed attempt replaced by a count, and hooks for
// playing another process at chosen moments.
class ObservedSystem : public Win32RemovalSystem {
 public:
  int top_opens = 0, waits = 0, yields = 0, attribute_writes = 0, continued_listings = 0;
  std::vector<uint32_t> ex_results;  // 0 for success
  std::function<void(int)> on_yield;
  std::function<void()> after_first_listing;

  OsResult<FsHandle> open_top(std::string_view path, uint32_t access) override {
    ++top_opens;
    return Win32RemovalSystem::open_top(path, access);
  }
  OsStatus read_listing(FsHandle directory, void* buffer, uint32_t size, bool restart) override {
    OsStatus result = Win32RemovalSystem::read_listing(directory, buffer, size, restart);
    if (!restart && result) ++continued_listings;
    if (after_first_listing) std::exchange(after_first_listing, nullptr)();
    return result;
  }
  OsStatus mark_deleted_ex(FsHandle handle, uint32_t flags) override {
    OsStatus result = Win32RemovalSystem::mark_deleted_ex(handle, flags);
    ex_results.push_back(error_code(result));
    return result;
  }
  OsStatus write_attributes(FsHandle handle, uint32_t attributes) override {
    ++attribute_writes;
    return Win32RemovalSystem::write_attributes(handle, attributes);
  }
  void yield_processor() override {
    Win32RemovalSystem::yield_processor();
    ++yields;
    if (on_yield) on_yield(yields);
  }
  void wait_after_failure() override { ++waits; }
};

OsStatus remove_observed(ObservedSystem& system, std::string_view path, StayedEntries* stayed = nullptr) {
  return remove_tree_with_retries(system, process_no_reparse_flag(), path, {nullptr, stayed});
}

void write_read_only(const std::string& path) {
  ASSERT_TRUE(write_file(path, "r"));
  ASSERT_TRUE(SetFileAttributesW(to_wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
}

// Starts the helper program with the given arguments; the process handle is the caller's.
UniqueHandle start_helper(const std::string& arguments) {
  const std::string program = test::built_program(KORAVANE_TREE_HELPER);
  std::wstring line = to_wide("\"" + program + "\" " + arguments);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return UniqueHandle();
  }
  const UniqueHandle thread(process.hThread);
  return UniqueHandle(process.hProcess);
}

// A helper process that keeps one file open without delete sharing until released.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path) {
    const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count_);
    const std::string ready_name = "koravane-hold-ready-" + tag;
    const std::string release_name = "koravane-hold-release-" + tag;
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, to_wide(ready_name).c_str()));
    release_.reset(CreateEventW(nullptr, TRUE, FALSE, to_wide(release_name).c_str()));
    process_ = start_helper("hold \"" + path + "\" " + ready_name + " " + release_name);
    if (process_) {
      const HANDLE waits[] = {ready_.get(), process_.get()};
      holding_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
    }
  }
  ~FileHolder() { release(); }
  bool holding() const { return holding_; }
  void release() {
    if (!process_) return;
    SetEvent(release_.get());
    if (WaitForSingleObject(process_.get(), 60000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.get(), 1);
    }
    process_.reset();
  }

 private:
  static inline int count_ = 0;
  UniqueHandle ready_, release_, process_;
  bool holding_ = false;
};

TEST(TreeRemovalOnWine, MissingPathSucceedsWithoutAnyAttempt) {
  ObservedSystem system;
  EXPECT_TRUE(remove_observed(system, join_path(fresh_folder("tree"), "absent")).ok());
  EXPECT_EQ(system.top_opens, 0);
  EXPECT_EQ(system.waits, 0);
  EXPECT_TRUE(remove_tree_with_retries(join_path(fresh_folder("tree"), "absent")).ok());
}

TEST(TreeRemovalOnWine, EmptyDirectoryGoesInOneAttempt) {
  const std::string top = fresh_folder("tree");
  ObservedSystem system;
  EXPECT_TRUE(remove_observed(system, top).ok());
  EXPECT_FALSE(path_exists(top));
  EXPECT_EQ(system.top_opens, 1);
}

TEST(TreeRemovalOnWine, TreeDeeperThanTheClassicPathLimitGoes) {
  const std::string top = fresh_folder("tree");
  std::string deep = top;
  for (int level = 0; level < 8; ++level) {
    deep = join_path(deep, "level-" + std::to_string(level) + "-" + std::string(40, 'd'));
    ASSERT_TRUE(CreateDirectoryW(to_wide("\\\\?\\" + deep).c_str(), nullptr)) << deep;
  }
  ASSERT_GT(deep.size(), 300u);
  ASSERT_TRUE(write_file("\\\\?\\" + join_path(deep, "bottom.txt"), "x"));
  EXPECT_TRUE(remove_tree_with_retries(top).ok());
  EXPECT_FALSE(path_exists(top));
}

TEST(TreeRemovalOnWine, DirectoryWithMoreEntriesThanOneBatchGoes) {
  const std::string top = fresh_folder("tree");
  for (int i = 0; i < 40; ++i) {
    const std::string name = std::to_string(i) + "-" + std::string(100, 'n');
    if (i % 10 == 5) {
      test::make_folder(join_path(top, name));
      ASSERT_TRUE(write_file(join_path(join_path(top, name), "inner.txt"), "x"));
    } else {
      ASSERT_TRUE(write_file(join_path(top, name), "x"));
    }
  }
  ObservedSystem system;
  EXPECT_TRUE(remove_observed(system, top).ok());
  EXPECT_FALSE(path_exists(top));
  EXPECT_EQ(system.top_opens, 1);
  EXPECT_GT(system.continued_listings, 0);
}

TEST(TreeRemovalOnWine, ReadOnlyFilesAtSeveralDepthsGo) {
  const std::string top = fresh_folder("tree");
  std::string folder = top;
  for (int depth = 0; depth < 3; ++depth) {
    write_read_only(join_path(folder, "read-only-" + std::to_string(depth)));
    ASSERT_TRUE(write_file(join_path(folder, "plain-" + std::to_string(depth)), "p"));
    folder = join_path(folder, "sub");
    test::make_folder(folder);
  }
  ObservedSystem system;
  EXPECT_TRUE(remove_observed(system, top).ok());
  EXPECT_FALSE(path_exists(top));
  EXPECT_EQ(system.top_opens, 1);
  // Where the extended disposition is refused (Wine), the read-only files went the mended way:
  // the attribute cleared, and put back for any other name of the file.
  ASSERT_FALSE(system.ex_results.empty());
  if (system.ex_results.front() != 0) {
    EXPECT_EQ(system.attribute_writes, 6);
  }
  RecordProperty("extended_disposition_result", static_cast<int>(system.ex_results.front()));
}

TEST(TreeRemovalOnWine, PlainFileAsThePathStaysAndFailsWithErrorDirectory) {
  const std::string file = join_path(fresh_folder("tree"), "plain.txt");
  ASSERT_TRUE(write_file(file, "x"));
  ObservedSystem system;
  EXPECT_EQ(remove_observed(system, file).error().code, static_cast<uint32_t>(ERROR_DIRECTORY));
  EXPECT_EQ(system.top_opens, 8);
  EXPECT_EQ(system.waits, 8);
  EXPECT_TRUE(path_exists(file));
}

// A file held for the whole call stays with the folders above it, and is named; everything else
// goes, before and after it in the listing's order.
TEST(TreeRemovalOnWine, FileHeldForTheWholeCallKeepsOnlyItselfAndItsFolders) {
  const std::string top = fresh_folder("tree");
  const std::string sub = join_path(top, "sub");
  test::make_folder(sub);
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(write_file(join_path(top, "top-" + std::to_string(i)), "t"));
    ASSERT_TRUE(write_file(join_path(sub, "sub-" + std::to_string(i)), "s"));
  }
  const std::string held = join_path(sub, "held");
  ASSERT_TRUE(write_file(held, "h"));

  FileHolder holder(held);
  ASSERT_TRUE(holder.holding());
  ObservedSystem system;
  StayedEntries stayed;
  EXPECT_EQ(remove_observed(system, top, &stayed).error().code, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  holder.release();
  EXPECT_EQ(system.waits, 8);
  EXPECT_EQ(system.yields, 8 * 49);
  ASSERT_EQ(stayed.size(), 1u);
  EXPECT_EQ(stayed[0].path, held);
  EXPECT_EQ(test::folder_listing(top), std::vector<std::string>{"sub"});
  EXPECT_EQ(test::folder_listing(sub), std::vector<std::string>{"held"});
}

TEST(TreeRemovalOnWine, FileReleasedDuringTheFirstAttemptDoesNotStopIt) {
  const std::string top = fresh_folder("tree");
  ASSERT_TRUE(write_file(join_path(top, "held"), "h"));
  ASSERT_TRUE(write_file(join_path(top, "other"), "o"));
  FileHolder holder(join_path(top, "held"));
  ASSERT_TRUE(holder.holding());
  ObservedSystem system;
  system.on_yield = [&](int yields) {
    if (yields == 5) holder.release();
  };
  EXPECT_TRUE(remove_observed(system, top).ok());
  EXPECT_FALSE(path_exists(top));
  EXPECT_EQ(system.yields, 5);
  EXPECT_EQ(system.waits, 0);
}

TEST(TreeRemovalOnWine, EntriesAnotherProcessDeletesMeanwhileCountAsDeleted) {
  const std::string top = fresh_folder("tree");
  std::string doomed;
  for (int i = 0; i < 3; ++i) {  // all within the first batch
    const std::string file = join_path(top, "f" + std::to_string(i));
    const std::string folder = join_path(top, "d" + std::to_string(i));
    ASSERT_TRUE(write_file(file, "x"));
    test::make_folder(folder);
    doomed += " \"" + file + "\" \"" + folder + "\"";
  }
  ObservedSystem system;
  int helper_exit = -1;
  // Right after the first batch is read, before any entry of it is handled, they all vanish.
  system.after_first_listing = [&] {
    UniqueHandle helper = start_helper("delete" + doomed);
    DWORD code = 99;
    if (helper && WaitForSingleObject(helper.get(), 60000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(helper.get(), &code);
    }
    helper_exit = static_cast<int>(code);
  };
  EXPECT_TRUE(remove_observed(system, top).ok());
  EXPECT_EQ(helper_exit, 0);
  EXPECT_FALSE(path_exists(top));
  EXPECT_EQ(system.top_opens, 1);
}

TEST(SingleFileRemovalOnWine, RemovesPlainAndReadOnlyFilesAndReportsMissingOnes) {
  const std::string folder = fresh_folder("single");
  const std::string plain = join_path(folder, "plain"), read_only = join_path(folder, "read-only");
  ASSERT_TRUE(write_file(plain, "p"));
  write_read_only(read_only);
  EXPECT_TRUE(remove_single_file(plain).ok());
  EXPECT_TRUE(remove_single_file(read_only).ok());
  EXPECT_FALSE(path_exists(plain));
  EXPECT_FALSE(path_exists(read_only));
  EXPECT_EQ(remove_single_file(plain).error().code, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace koravane
