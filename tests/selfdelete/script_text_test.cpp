#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text/os_text.h"
#include "selfdelete/script_text.h"
#include "selfdelete/expected_script.h"

namespace koravane {
namespace {

const std::string& kHead = test::kScriptHead;
const ScriptOwner& kOwner = test::kScriptOwner;
const std::string kTail = R"(del /f /q "%~f0" >nul 2>&1)";
// The code-page switch comes after the guard against the person's command-processor settings.
const std::string kUtf8Head =
    "@echo off\r\nsetlocal EnableExtensions DisableDelayedExpansion\r\nchcp 65001 >nul\r\n";

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
  const std::string bytes = script_bytes({"C:\\Games\\KoraVane\\Uninstall.exe"}, kOwner, fake_cp866);
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
  const std::string bytes = script_bytes({"C:\\a", "C:\\b", "C:\\c"}, kOwner, fake_cp866);
  EXPECT_EQ(count_crlf(bytes), 8u);
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\a")"), bytes.find(R"(rd /s /q "C:\b")"));
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\b")"), bytes.find(R"(rd /s /q "C:\c")"));
  EXPECT_TRUE(bytes.ends_with("\r\n" + kTail));
  EXPECT_EQ(script_bytes({}, kOwner, fake_cp866), kHead + kTail);
}

TEST(ScriptText, QuotesAreRemovedPercentDoubledAndEverythingElseKept) {
  EXPECT_EQ(script_path_text("C:\\Ga\"mes\\K\"V"), "C:\\Games\\KV");
  EXPECT_EQ(script_path_text("D:\\Игры\\100% KoraVane"), "D:\\Игры\\100%% KoraVane");
  EXPECT_EQ(script_path_text("C:\\a%USERNAME%b"), "C:\\a%%USERNAME%%b");
  EXPECT_EQ(script_path_text("C:\\R&D ^x (1)"), "C:\\R&D ^x (1)");
  const std::string ill_formed = "C:\\a\xED\xA0\x80";  // an unpaired surrogate from the system
  EXPECT_EQ(script_path_text(ill_formed), "C:\\a\xEF\xBF\xBD");
  const std::string bytes = script_bytes({"C:\\R&D\\50%\\\"x\""}, kOwner, fake_cp866);
  EXPECT_NE(bytes.find(R"(if exist "C:\R&D\50%%\x\*" (rd /s /q "C:\R&D\50%%\x"))"), std::string::npos);
  // Five uses of the path, each with "%%", and the script's own "%~f0".
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '%'), 11);
}

TEST(ScriptText, CyrillicPathsAreWrittenInTheOemCodePage) {
  const std::string bytes = script_bytes({"C:\\Users\\Иван\\KoraVane"}, kOwner, fake_cp866);
  const std::string ivan = "\x88\xa2\xa0\xad";
  EXPECT_NE(bytes.find("\"C:\\Users\\" + ivan + "\\KoraVane\\*\""), std::string::npos);
  EXPECT_EQ(bytes.find("chcp"), std::string::npos);
  EXPECT_TRUE(bytes.starts_with(kHead));
}

TEST(ScriptText, PathsOutsideTheOemCodePageGiveUtf8WithACodePageSwitch) {
  const std::vector<std::string> paths = {"C:\\Users\\Иван", "C:\\游戏\\😀"};
  const std::string bytes = script_bytes(paths, kOwner, fake_cp866);
  EXPECT_TRUE(bytes.starts_with(kUtf8Head + "timeout /t 2 /nobreak <con >nul\r\n"));
  EXPECT_NE(bytes.find(R"(if exist "C:\Users\Иван\*")"), std::string::npos);
  EXPECT_NE(bytes.find(R"(del /f /q "C:\游戏\😀" & rd /s /q "C:\游戏\😀" 2>nul))"), std::string::npos);
  EXPECT_EQ(count_crlf(bytes), 8u);
  EXPECT_TRUE(script_bytes({"C:\\a"}, kOwner, no_oem).starts_with(kUtf8Head));
}

TEST(ScriptText, FileNameCarriesTheDecimalProcessId) {
  EXPECT_EQ(script_file_name(4242), "koravane-uninstall-4242.cmd");
  EXPECT_EQ(script_file_name(0), "koravane-uninstall-0.cmd");
  EXPECT_EQ(script_file_name(4294967295u), "koravane-uninstall-4294967295.cmd");
}

TEST(ScriptText, OnlyTheOwnerIsEndedByIdAndNoOtherProgramByItsCommonName) {
  struct Case {
    ScriptOwner owner;
    std::string line;
  };
  const Case cases[] = {
      {{4242, "Uninstall.exe"}, R"(taskkill /F /PID 4242 /FI "IMAGENAME eq Uninstall.exe" >nul 2>&1)"},
      {{7, "Uninstall (2).exe"}, R"(taskkill /F /PID 7 /FI "IMAGENAME eq Uninstall (2).exe" >nul 2>&1)"},
      {{4294967295u, "100%.exe"}, R"(taskkill /F /PID 4294967295 /FI "IMAGENAME eq 100%%.exe" >nul 2>&1)"},
      {{12, ""}, R"(taskkill /F /PID 12 /FI "IMAGENAME eq Uninstall.exe" >nul 2>&1)"},
  };
  for (const Case& c : cases) {
    const auto lines = script_lines({"C:\\K\\Update.exe", "C:\\K\\Uninstall.exe"}, c.owner, false);
    EXPECT_EQ(lines[4], c.line);
    for (const std::string& line : lines) {
      if (!line.starts_with("taskkill")) continue;
      EXPECT_EQ(line.find("/IM Update.exe"), std::string::npos) << line;
      EXPECT_EQ(line.find("/IM Uninstall.exe"), std::string::npos) << line;
    }
  }
  // A name outside the OEM code page moves the whole script to UTF-8, like a path would.
  const std::string bytes = script_bytes({}, {5, "Удалить😀.exe"}, fake_cp866);
  EXPECT_TRUE(bytes.starts_with(kUtf8Head));
  EXPECT_NE(bytes.find("IMAGENAME eq Удалить😀.exe"), std::string::npos);
}

// A path of length characters: "C:\" then folders of at most 50 characters.
std::string path_of(size_t length, std::string_view start = "C:\\") {
  std::string path(start);
  for (char name = 'a'; path.size() < length; ++name) {
    if (!path.ends_with('\\')) path += length - path.size() > 1 ? '\\' : name;  // never a trailing separator
    path += std::string(std::min<size_t>(50, length - path.size()), name);
  }
  return path;
}

// Lengths are those a removal meets: "\*" below a folder, "\updates\rust-updater.log" (25) below a
// root that kept its run log. The line holds its path five times in 79 more characters: 8191 at most.
TEST(ScriptSpelling, APathKeepsItsSpellingWhereItFitsElseItsShortFormElseItsVerbatimFormWhileTheLineHoldsIt) {
  const std::string p300 = path_of(300);
  const std::string short300 = "C:\\AAAA~1\\BBBB~1\\CCCC~1\\DDDD~1\\EEEE~1\\FFFF~1\\GGGG~1";
  const std::string share = path_of(300, "\\\\srv\\share\\");
  const std::optional<std::string> none;
  struct Case {
    std::string what;
    DeferredPath deferred;
    std::optional<std::string> named;
  };
  const Case cases[] = {
      {"a short root", {"C:\\Games\\KoraVane", 25, none}, "C:\\Games\\KoraVane"},
      {"a file of 259", {path_of(259), 0, "C:\\X~1"}, path_of(259)},
      {"a folder of 257", {path_of(257), 2, "C:\\X~1"}, path_of(257)},
      {"a folder of 258", {path_of(258), 2, "C:\\X~1"}, "C:\\X~1"},
      {"a root of 234 and its run log", {path_of(234), 25, "C:\\X~1"}, path_of(234)},
      {"a root of 235 and its run log", {path_of(235), 25, "C:\\X~1"}, "C:\\X~1"},
      {"a root of 300", {p300, 25, short300}, short300},
      {"a short form that does not fit", {p300, 250, short300}, "\\\\?\\" + p300},
      {"no 8.3 names on the volume", {p300, 25, p300}, "\\\\?\\" + p300},
      {"no short form", {p300, 25, none}, "\\\\?\\" + p300},
      {"a share", {share, 2, none}, "\\\\?\\UNC\\" + share.substr(2)},
      {"the longest line", {path_of(1618), 2, none}, "\\\\?\\" + path_of(1618)},
      {"a line too long", {path_of(1619), 2, none}, none},
      {"a line too long, a short form that fits", {path_of(1619), 2, short300}, short300},
      {"'%' doubled in the line", {path_of(1617) + "%", 2, none}, none},
      {"a relative path", {path_of(300, "Games\\"), 2, none}, none},
  };
  for (const Case& c : cases) EXPECT_EQ(script_spelling(c.deferred), c.named) << c.what;
}

TEST(ScriptSpelling, TheVerbatimFormNamesThePlaceThePlainFormNames) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"C:\\Games\\KoraVane", "\\\\?\\C:\\Games\\KoraVane"},
      {"C:/Games//x\\..\\KoraVane\\.\\", "\\\\?\\C:\\Games\\KoraVane"},
      {"\\\\srv\\share\\KoraVane", "\\\\?\\UNC\\srv\\share\\KoraVane"},
      {"\\\\.\\D:\\KoraVane", "\\\\?\\D:\\KoraVane"},
      {"\\\\?\\D:\\a\\..\\KoraVane", "\\\\?\\D:\\a\\..\\KoraVane"},  // taken as written
      {"Games\\KoraVane", std::nullopt},
      {"C:KoraVane", std::nullopt},
  };
  for (const auto& [path, verbatim] : cases) EXPECT_EQ(verbatim_form(path), verbatim) << path;
}

// Where another install's launcher runs, the script leaves the launcher's task-kill line out and
// keeps ending its owner by id.
TEST(ScriptText, TheLauncherIsEndedByImageNameOnlyWhereThatReachesNoOtherInstall) {
  for (const bool by_image : {true, false}) {
    ScriptOwner owner = kOwner;
    owner.launcher_by_image = by_image;
    const std::string bytes = script_bytes({"C:\\K"}, owner, fake_cp866);
    const std::string launcher_line = "taskkill /F /IM KoraVane.exe /T >nul 2>&1\r\n";
    std::string head = kHead;
    if (!by_image) head.erase(head.find(launcher_line), launcher_line.size());
    EXPECT_TRUE(bytes.starts_with(head)) << bytes;
    EXPECT_EQ(bytes.find("/IM KoraVane.exe") != std::string::npos, by_image);
  }
}

// cmd may expand a '%' once more inside what %~f0 gives (Wine's does): a script in such a folder
// names itself by its name in the folder it runs in; elsewhere by its full path, as always.
TEST(ScriptText, TheLastLineNamesTheScriptWithoutItsFolderOnlyWhereTheFolderHoldsAPercentSign) {
  EXPECT_EQ(self_deletion_line("C:\\Users\\Tom&Jerry (x) ^1@x !a!\\Temp\\", "koravane-uninstall-7.cmd"),
            "del /f /q \"%~f0\" >nul 2>&1");
  const std::string relative = self_deletion_line("C:\\100% %TEMP%\\", "koravane-uninstall-7.cmd");
  EXPECT_EQ(relative, "del /f /q \".\\koravane-uninstall-7.cmd\" >nul 2>&1");
  const std::string bytes = script_bytes({"C:\\a"}, kOwner, fake_cp866, relative);
  EXPECT_TRUE(bytes.ends_with("\r\n" + relative)) << bytes;
  EXPECT_EQ(bytes.find("%~f0"), std::string::npos);
}

// One command line for every folder: the script goes by its name in the folder cmd starts in,
// with the person's AutoRun and delayed expansion off, and nothing of ours handed on.
TEST(InterpreterCommand, NamesTheScriptInTheFolderItRunsHiddenIn) {
  for (const std::string folder : {"C:\\T\\", "C:\\Tom&Jerry (x) ^1@x 100%\\", "C:\\a\xED\xA0\x80&"}) {
    const ChildCommand command = interpreter_command(4242, folder);
    EXPECT_EQ(command.program, "cmd");
    EXPECT_EQ(command.working_directory, folder) << "the folder as the system gave it";
    EXPECT_EQ(command.creation_flags, kCreateNoWindow);
    for (const auto& disposition : {command.standard_input, command.standard_output, command.standard_error}) {
      EXPECT_EQ(disposition, StdioDisposition::null_device);
    }
    EXPECT_EQ(command.inheritance, HandleInheritance::standard_handles_only);
    const auto line = build_command_line(command.program, command.arguments);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(display_text_from_utf16(line.value()), R"("cmd" /D /V:OFF /C .\koravane-uninstall-4242.cmd)");
  }
}

}  // namespace
}  // namespace koravane
