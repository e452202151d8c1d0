#include <gtest/gtest.h>

#include <vector>

#include "platform/files/env.h"
#include "platform/files/fill_from_system_win.h"
#include "platform/basics/handles_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

std::wstring units_of(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// GetEnvironmentVariableW as the system sees the variable, with nothing of ours in between.
std::optional<std::wstring> raw_env(const wchar_t* name) {
  std::vector<wchar_t> buffer(70000);
  SetLastError(0);
  const DWORD k = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (k == 0 && GetLastError() != 0) return std::nullopt;
  return std::wstring(buffer.data(), k);
}

TEST(FillFromSystem, GrowsByReportedSizeOrByDoubling) {
  // A query that reports the size it needs (with the terminator), as most text queries do.
  std::vector<DWORD> capacities;
  const std::wstring long_text(700, L'x');
  auto sized = fill_from_system([&](wchar_t* buffer, DWORD n) -> DWORD {
    capacities.push_back(n);
    if (n <= long_text.size()) return static_cast<DWORD>(long_text.size() + 1);
    std::copy(long_text.begin(), long_text.end(), buffer);
    return static_cast<DWORD>(long_text.size());
  });
  ASSERT_TRUE(sized);
  EXPECT_EQ(sized.value(), long_text);
  EXPECT_EQ(capacities, (std::vector<DWORD>{512, 701}));

  // A query that fills the buffer exactly and flags it as too small, as GetModuleFileNameW does.
  capacities.clear();
  const std::wstring longer(1500, L'y');
  auto doubled = fill_from_system([&](wchar_t* buffer, DWORD n) -> DWORD {
    capacities.push_back(n);
    const DWORD copied = std::min<DWORD>(n, static_cast<DWORD>(longer.size()));
    std::copy_n(longer.begin(), copied, buffer);
    if (copied == n) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return copied;
  });
  ASSERT_TRUE(doubled);
  EXPECT_EQ(doubled.value(), longer);
  EXPECT_EQ(capacities, (std::vector<DWORD>{512, 1024, 2048}));

  // Zero with an error is a failure; zero without one is an empty result.
  auto failed = fill_from_system([](wchar_t*, DWORD) -> DWORD {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  });
  EXPECT_EQ(failed.error().code, static_cast<uint32_t>(ERROR_ENVVAR_NOT_FOUND));
  auto empty = fill_from_system([](wchar_t*, DWORD) -> DWORD { return 0; });
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty.value().empty());
}

TEST(ReadEnvVar, LongValuesAreReadCompletely) {
  for (size_t length : {511u, 512u, 513u, 600u, 5000u, 32000u}) {
    std::wstring value;
    for (size_t i = 0; i < length; ++i) value += static_cast<wchar_t>(i % 2 ? L'ж' : L'a' + i % 26);
    ASSERT_TRUE(SetEnvironmentVariableW(L"KORAVANE_LONG", value.c_str()));
    const auto read = read_env_var("KORAVANE_LONG");
    ASSERT_TRUE(read.has_value()) << length;
    EXPECT_EQ(to_wide(*read), value) << length;
  }
}

TEST(ReadEnvVar, EmptyIsPresentUnsetAndNulNamesAreAbsent) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORAVANE_EMPTY", L""));
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORAVANE_SET", L"значение"));
  SetEnvironmentVariableW(L"KORAVANE_UNSET", nullptr);
  EXPECT_EQ(read_env_var("KORAVANE_EMPTY"), std::optional<std::string>(""));
  EXPECT_EQ(read_env_var("KORAVANE_UNSET"), std::nullopt);
  EXPECT_EQ(read_env_var("KORAVANE_SET"), std::optional<std::string>("значение"));
  // The part before the NUL names a set variable, yet the whole name counts as absent.
  EXPECT_EQ(read_env_var(std::string_view("KORAVANE_SET\0X", 14)), std::nullopt);
}

TEST(ReadEnvVar, UnpairedSurrogatesSurviveTheRoundTripToTheSystem) {
  const std::wstring value = units_of(std::u16string{u'C', u':', u'\\', 0xD800, u'ы', 0xDC01});
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORAVANE_SURROGATE", value.c_str()));
  const auto read = read_env_var("KORAVANE_SURROGATE");
  ASSERT_TRUE(read.has_value());
  const std::string path = join_path(*read, "koravane-launcher");
  // Handed back to the system, the joined path arrives unit for unit.
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORAVANE_ECHO", to_wide(path).c_str()));
  EXPECT_EQ(raw_env(L"KORAVANE_ECHO"), value + L"\\koravane-launcher");
  EXPECT_EQ(display_text(*read), "C:\\\uFFFDы\uFFFD");
}

TEST(Folders, AgreeWithTheSystem) {
  wchar_t expected[MAX_PATH + 1];
  const auto temp = temp_folder();
  ASSERT_TRUE(temp);
  GetTempPathW(MAX_PATH + 1, expected);
  EXPECT_EQ(to_wide(temp.value()), expected);
  EXPECT_EQ(temp.value().back(), '\\');
  EXPECT_EQ(temp_folder().value(), temp.value());  // the chosen function is reused

  GetSystemDirectoryW(expected, MAX_PATH + 1);
  EXPECT_EQ(to_wide(system_directory().value()), expected);
  GetWindowsDirectoryW(expected, MAX_PATH + 1);
  EXPECT_EQ(to_wide(windows_directory().value()), expected);
  GetCurrentDirectoryW(MAX_PATH + 1, expected);
  EXPECT_EQ(to_wide(current_directory().value()), expected);
  EXPECT_EQ(current_process_id(), GetCurrentProcessId());
}

TEST(Folders, AbsolutePathsResolveAgainstTheCurrentDirectory) {
  const std::string base = test::fresh_folder("full-path");
  ASSERT_TRUE(SetCurrentDirectoryW(to_wide(base).c_str()));
  EXPECT_EQ(absolute_path("").value(), base);
  EXPECT_EQ(absolute_path("KoraVane").value(), join_path(base, "KoraVane"));
  EXPECT_EQ(absolute_path(".\\a\\..\\Иван\\").value(), join_path(base, "Иван\\"));
  EXPECT_EQ(absolute_path("C:\\Games\\KoraVane").value(), "C:\\Games\\KoraVane");
  const std::string long_name(600, 'x');  // past the stack buffer
  EXPECT_EQ(absolute_path(long_name).value(), join_path(base, long_name));
}

// An executable path longer than 512 units is checked by startup_test.sh: Wine 8 corrupts its heap
// when CreateProcessW is given such a path, but starts the program from the shell.

}  // namespace
}  // namespace koravane
