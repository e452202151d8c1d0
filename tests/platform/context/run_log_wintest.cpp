#include <gtest/gtest.h>

#include "platform/context/run_log.h"
#include "platform/basics/handles_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::path_exists;
using test::is_directory;
using test::make_folder;
using test::read_file;
using test::fresh_folder;
using test::write_file;

std::string log_of(std::string_view root) {
  return join_path(join_path(root, "updates"), "rust-updater.log");
}

TEST(RunLog, CreatesTheUpdatesFolderAndMissingAncestors) {
  const std::string base = fresh_folder("журнал");
  const std::string root = join_path(join_path(base, "нет"), "и этого нет");
  append_run_log(root, "first");
  EXPECT_TRUE(is_directory(join_path(root, "updates")));
  EXPECT_EQ(read_file(log_of(root)), "first\n");

  // A root that ends in a separator gets no second one.
  const std::string slashed = join_path(base, "slash") + "\\";
  append_run_log(slashed, "x");
  EXPECT_EQ(read_file(join_path(base, "slash\\updates\\rust-updater.log")), "x\n");
}

TEST(RunLog, AppendsInOrderAfterWhateverIsThere) {
  const std::string root = fresh_folder("append");
  ASSERT_TRUE(make_folder(join_path(root, "updates")));
  ASSERT_TRUE(write_file(log_of(root), "earlier run, no line feed"));
  append_run_log(root, "one");
  append_run_log(root, "");
  append_run_log(root, "Удаление: C:\\Users\\Пользователь");
  const std::string expected = "earlier run, no line feedone\n\nУдаление: C:\\Users\\Пользователь\n";
  EXPECT_EQ(read_file(log_of(root)), expected);
  // Stored as UTF-8: "Уд" is D0 A3 D0 B4; no CR anywhere.
  EXPECT_NE(read_file(log_of(root))->find("\xD0\xA3\xD0\xB4"), std::string::npos);
  EXPECT_EQ(read_file(log_of(root))->find('\r'), std::string::npos);
}

TEST(RunLog, LetsOthersReadWriteAndDeleteMeanwhile) {
  const std::string root = fresh_folder("shared");
  append_run_log(root, "a");
  UniqueHandle reader(CreateFileW(to_wide(log_of(root)).c_str(), GENERIC_READ | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  append_run_log(root, "b");
  EXPECT_EQ(read_file(log_of(root)), "a\nb\n");
}

TEST(RunLog, AFileNamedUpdatesMakesAppendingASilentNoOp) {
  const std::string root = fresh_folder("blocked");
  ASSERT_TRUE(write_file(join_path(root, "updates"), "not a folder"));
  append_run_log(root, "dropped");
  append_run_log(root, "dropped again");
  EXPECT_FALSE(is_directory(join_path(root, "updates")));
  EXPECT_EQ(read_file(join_path(root, "updates")), "not a folder");
}

TEST(RunLog, ALogThatCannotBeOpenedIsLeftAlone) {
  const std::string root = fresh_folder("locked");
  append_run_log(root, "kept");
  {
    // Another process holds the log without sharing write access: the open fails.
    UniqueHandle holder(CreateFileW(to_wide(log_of(root)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    append_run_log(root, "dropped");
  }
  EXPECT_EQ(read_file(log_of(root)), "kept\n");
  append_run_log(root, "again");  // no state remembers the failure
  EXPECT_EQ(read_file(log_of(root)), "kept\nagain\n");
}

// A read-only log: owner_modes/read_only_log_wintest.cpp, where Wine honours the attribute.

TEST(RunLog, EmptyRootLogsRelativeToTheWorkingFolder) {
  const std::string work = fresh_folder("relative");
  wchar_t previous[MAX_PATH + 1];
  GetCurrentDirectoryW(MAX_PATH + 1, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(to_wide(work).c_str()));
  append_run_log("", "relative");
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(read_file(log_of(work)), "relative\n");
  EXPECT_FALSE(path_exists(join_path(work, "rust-updater.log")));
}

std::string system_message(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocalString owned(buffer);
  std::wstring text(owned.get(), length);
  while (!text.empty() && iswspace(text.back())) text.pop_back();
  return from_wide(text);
}

TEST(OsErrorText, SystemMessageWithoutTrailingWhiteSpaceThenTheCode) {
  for (uint32_t code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    const std::string message = system_message(code);
    ASSERT_FALSE(message.empty()) << code;
    EXPECT_EQ(os_error_text(code), message + " (os error " + std::to_string(code) + ")");
  }
}

TEST(OsErrorText, FallbackWhenTheSystemHasNoMessage) {
  const uint32_t code = 0x2000ABCD;  // customer code: no system message
  wchar_t* buffer = nullptr;
  ASSERT_EQ(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr),
            0u);
  const DWORD failure = GetLastError();
  EXPECT_EQ(os_error_text(code), "OS Error " + std::to_string(code) +
                                     " (FormatMessageW() returned error " + std::to_string(failure) + ")");
}

}  // namespace
}  // namespace koravane
