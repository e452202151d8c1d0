#include <gtest/gtest.h>

#include <algorithm>

#include "platform/os_text.h"
#include "selfdelete/script_text.h"
#include "selfdelete/expected_script.h"

namespace koravane {
namespace {

const std::string& kHead = test::kScriptHead;
const std::string kTail = R"(del /f /q "%~f0" >nul 2>&1)";

// Code page 866 for ASCII and the basic Cyrillic letters; anything else has no form.
std::optional<std::string> fake_cp866(std::string_view utf8) {
  std::string out;
  for (const char32_t c : code_points(utf8)) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c >= U'А' && c <= U'я' && c < U'р') out += static_cast<char>(0x80 + (c - U'А'));
    else if (c >= U'р' && c <= U'я') out += static_cast<char>(0xE0 + (c - U'р'));
    else return std::nullopt;
  }
  return out;
}

std::optional<std::string> no_oem(std::string_view) { return std::nullopt; }

size_t count_crlf(const std::string& text) {
  size_t n = 0;
  for (size_t i = text.find("\r\n"); i != std::string::npos; i = text.find("\r\n", i + 2)) ++n;
  return n;
}

TEST(ScriptText, OnePathGivesSevenLinesWithoutATrailingLineEnd) {
  const std::string bytes = script_bytes({"C:\\Games\\KoraVane\\Uninstall.exe"}, fake_cp866);
  EXPECT_EQ(bytes,
            kHead +
                R"(if exist "C:\Games\KoraVane\Uninstall.exe\*" (rd /s /q "C:\Games\KoraVane\Uninstall.exe") )"
                R"(else if exist "C:\Games\KoraVane\Uninstall.exe" (del /f /q "C:\Games\KoraVane\Uninstall.exe" )"
                R"(& rd /s /q "C:\Games\KoraVane\Uninstall.exe" 2>nul))"
                "\r\n" + kTail);
  EXPECT_EQ(count_crlf(bytes), 6u);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 6);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 6);
}

TEST(ScriptText, SeveralPathsKeepTheirOrderAndAnEmptyListStillDeletesItself) {
  const std::string bytes = script_bytes({"C:\\a", "C:\\b", "C:\\c"}, fake_cp866);
  EXPECT_EQ(count_crlf(bytes), 8u);
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\a")"), bytes.find(R"(rd /s /q "C:\b")"));
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\b")"), bytes.find(R"(rd /s /q "C:\c")"));
  EXPECT_TRUE(bytes.ends_with("\r\n" + kTail));
  EXPECT_EQ(script_bytes({}, fake_cp866), kHead + kTail);
}

TEST(ScriptText, QuotesAreRemovedPercentDoubledAndEverythingElseKept) {
  EXPECT_EQ(script_path_text("C:\\Ga\"mes\\K\"V"), "C:\\Games\\KV");
  EXPECT_EQ(script_path_text("D:\\Игры\\100% KoraVane"), "D:\\Игры\\100%% KoraVane");
  EXPECT_EQ(script_path_text("C:\\a%USERNAME%b"), "C:\\a%%USERNAME%%b");
  EXPECT_EQ(script_path_text("C:\\R&D ^x (1)"), "C:\\R&D ^x (1)");
  const std::string ill_formed = "C:\\a\xED\xA0\x80";  // an unpaired surrogate from the system
  EXPECT_EQ(script_path_text(ill_formed), "C:\\a\xEF\xBF\xBD");
  const std::string bytes = script_bytes({"C:\\R&D\\50%\\\"x\""}, fake_cp866);
  EXPECT_NE(bytes.find(R"(if exist "C:\R&D\50%%\x\*" (rd /s /q "C:\R&D\50%%\x"))"), std::string::npos);
  // Five uses of the path, each with "%%", and the script's own "%~f0".
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '%'), 11);
}

TEST(ScriptText, CyrillicPathsAreWrittenInTheOemCodePage) {
  const std::string bytes = script_bytes({"C:\\Users\\Иван\\KoraVane"}, fake_cp866);
  const std::string ivan = "\x88\xa2\xa0\xad";
  EXPECT_NE(bytes.find("\"C:\\Users\\" + ivan + "\\KoraVane\\*\""), std::string::npos);
  EXPECT_EQ(bytes.find("chcp"), std::string::npos);
  EXPECT_TRUE(bytes.starts_with(kHead));
}

TEST(ScriptText, PathsOutsideTheOemCodePageGiveUtf8WithACodePageSwitch) {
  const std::vector<std::string> paths = {"C:\\Users\\Иван", "C:\\游戏\\😀"};
  const std::string bytes = script_bytes(paths, fake_cp866);
  EXPECT_TRUE(bytes.starts_with("@echo off\r\nchcp 65001 >nul\r\ntimeout /t 2 /nobreak >nul\r\n"));
  EXPECT_NE(bytes.find(R"(if exist "C:\Users\Иван\*")"), std::string::npos);
  EXPECT_NE(bytes.find(R"(del /f /q "C:\游戏\😀" & rd /s /q "C:\游戏\😀" 2>nul))"), std::string::npos);
  EXPECT_EQ(count_crlf(bytes), 8u);
  EXPECT_EQ(script_bytes({"C:\\a"}, no_oem).substr(0, 28), "@echo off\r\nchcp 65001 >nul\r\n");
}

TEST(ScriptText, FileNameCarriesTheDecimalProcessId) {
  EXPECT_EQ(script_file_name(4242), "koravane-uninstall-4242.cmd");
  EXPECT_EQ(script_file_name(0), "koravane-uninstall-0.cmd");
  EXPECT_EQ(script_file_name(4294967295u), "koravane-uninstall-4294967295.cmd");
}

}  // namespace
}  // namespace koravane
