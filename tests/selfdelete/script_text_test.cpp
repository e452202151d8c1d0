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

// Code page 65001, the OEM code page under "Beta: use Unicode UTF-8": every well-formed text.
std::optional<std::string> utf8_oem(std::string_view utf8) {
  if (display_text(utf8) != utf8) return std::nullopt;
  return std::string(utf8);
}

// The script's bytes, which a test expects to be written.
std::string bytes_of(const std::vector<std::string>& paths, const ScriptOwner& owner,
                     std::string_view last_line = kDeleteScriptByFullPath) {
  return script_bytes(paths, owner, fake_cp866, last_line).value_or("(no script)");
}

size_t count_crlf(const std::string& text) {
  size_t n = 0;
  for (size_t i = text.find("\r\n"); i != std::string::npos; i = text.find("\r\n", i + 2)) ++n;
  return n;
}

TEST(ScriptText, OnePathGivesSevenLinesWithoutATrailingLineEnd) {
  const std::string bytes = bytes_of({"C:\\Games\\KoraVane\\Uninstall.exe"}, kOwner);
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
  const std::string bytes = bytes_of({"C:\\a", "C:\\b", "C:\\c"}, kOwner);
  EXPECT_EQ(count_crlf(bytes), 8u);
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\a")"), bytes.find(R"(rd /s /q "C:\b")"));
  EXPECT_LT(bytes.find(R"(rd /s /q "C:\b")"), bytes.find(R"(rd /s /q "C:\c")"));
  EXPECT_TRUE(bytes.ends_with("\r\n" + kTail));
  EXPECT_EQ(bytes_of({}, kOwner), kHead + kTail);
}

TEST(ScriptText, QuotesAreRemovedPercentDoubledAndEverythingElseKept) {
  EXPECT_EQ(script_path_text("C:\\Ga\"mes\\K\"V"), "C:\\Games\\KV");
  EXPECT_EQ(script_path_text("D:\\Игры\\100% KoraVane"), "D:\\Игры\\100%% KoraVane");
  EXPECT_EQ(script_path_text("C:\\a%USERNAME%b"), "C:\\a%%USERNAME%%b");
  EXPECT_EQ(script_path_text("C:\\R&D ^x (1)"), "C:\\R&D ^x (1)");
  const std::string ill_formed = "C:\\a\xED\xA0\x80";  // an unpaired surrogate from the system
  EXPECT_EQ(script_path_text(ill_formed), "C:\\a\xEF\xBF\xBD");
  const std::string bytes = bytes_of({"C:\\R&D\\50%\\\"x\""}, kOwner);
  EXPECT_NE(bytes.find(R"(if exist "C:\R&D\50%%\x\*" (rd /s /q "C:\R&D\50%%\x"))"), std::string::npos);
  // Five uses of the path, each with "%%", and the script's own "%~f0".
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '%'), 11);
}

TEST(ScriptText, CyrillicPathsAreWrittenInTheOemCodePage) {
  const std::string bytes = bytes_of({"C:\\Users\\Иван\\KoraVane"}, kOwner);
  const std::string ivan = "\x88\xa2\xa0\xad";
  EXPECT_NE(bytes.find("\"C:\\Users\\" + ivan + "\\KoraVane\\*\""), std::string::npos);
  EXPECT_EQ(bytes.find("chcp"), std::string::npos);
  EXPECT_TRUE(bytes.starts_with(kHead));
}

// cmd reads a batch file in the OEM code page whatever "chcp" says (Wine's too): a path outside
// it gives no script at all (the run names such a path by its 8.3 form first), and under UTF-8
// the script is UTF-8, with no switch.
TEST(ScriptText, TheScriptIsInTheOemCodePageOrNotWrittenAtAll) {
  const std::vector<std::string> paths = {"C:\\Users\\Иван", "C:\\游戏\\😀"};
  EXPECT_EQ(script_bytes(paths, kOwner, fake_cp866), std::nullopt);
  const std::optional<std::string> utf8 = script_bytes(paths, kOwner, utf8_oem);
  ASSERT_TRUE(utf8);
  EXPECT_TRUE(utf8->starts_with(kHead)) << *utf8;
  EXPECT_NE(utf8->find(R"(del /f /q "C:\游戏\😀" & rd /s /q "C:\游戏\😀" 2>nul))"), std::string::npos);
  EXPECT_EQ(utf8->find("chcp"), std::string::npos);
  EXPECT_EQ(script_bytes({"C:\\a\xED\xA0\x80"}, kOwner, utf8_oem), std::nullopt) << "an unpaired surrogate";
}

// The real values Windows documents: UTF-8 and GB18030 refuse a default-character report with
// ERROR_INVALID_PARAMETER and take only WC_ERR_INVALID_CHARS; the code pages that take no flags
// cannot tell at all.
TEST(ScriptEncoding, EachCodePageIsAskedForAnExactConversionAsTheSystemAllows) {
  const std::optional<ExactConversion> single{{0x400, true}};
  const std::optional<ExactConversion> unicode{{0x80, false}};
  const std::optional<ExactConversion> none;
  const std::pair<uint32_t, std::optional<ExactConversion>> cases[] = {
      {866, single},  {437, single},  {850, single},   {932, single},   {1252, single},
      {50000, single}, {57012, single}, {65001, unicode}, {54936, unicode}, {65000, none},
      {42, none},     {50220, none},  {50229, none},   {57002, none},   {57011, none},
  };
  for (const auto& [code_page, expected] : cases) EXPECT_TRUE(exact_conversion(code_page) == expected) << code_page;
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
    const auto lines = script_lines({"C:\\K\\Update.exe", "C:\\K\\Uninstall.exe"}, c.owner);
    EXPECT_EQ(lines[4], c.line);
    for (const std::string& line : lines) {
      if (!line.starts_with("taskkill")) continue;
      EXPECT_EQ(line.find("/IM Update.exe"), std::string::npos) << line;
      EXPECT_EQ(line.find("/IM Uninstall.exe"), std::string::npos) << line;
    }
  }
  // A name the script cannot spell whole is ended by the part it can spell, else by the usual name,
  // which ends no other program.
  const std::pair<std::string, std::string> names[] = {
      {"Удалить😀.exe", "Удалить*"}, {"Kora✓.exe", "Kora*"}, {"✓.exe", "Uninstall.exe"},
      {"Uninstall\xED\xA0\x80.exe", "Uninstall*"}, {"Удалить.exe", "Удалить.exe"}};
  for (const auto& [name, spelled] : names) {
    EXPECT_EQ(image_spelling(name, fake_cp866), spelled) << name;
    EXPECT_NE(bytes_of({}, {5, name}).find("IMAGENAME eq " + fake_cp866(spelled).value() + "\""), std::string::npos)
        << name;
  }
  EXPECT_EQ(image_spelling("Удалить😀.exe", utf8_oem), "Удалить😀.exe");
}

// A path of length characters: "C:\" then folders of at most 50 characters.
std::string path_of(size_t length, std::string_view start = "C:\\") {
  std::string path(start);
  for (char name = 'a'; path.size() < length; name = name == 'z' ? 'a' : static_cast<char>(name + 1)) {
    if (!path.ends_with('\\')) path += length - path.size() > 1 ? '\\' : name;  // never a trailing separator
    path += std::string(std::min<size_t>(50, length - path.size()), name);
  }
  return path;
}

// Lengths are those a removal meets: "\*" below a folder, "\updates\rust-updater.log" (25) below a
// root that kept its run log. The line holds its path five times in 79 more characters: 8191 at most.
// A character outside the script's code page (✓, é and € in 866) needs the 8.3 form, which holds
// none; under UTF-8 every path keeps its spelling.
TEST(ScriptSpelling, APathKeepsItsSpellingWhereItFitsElseItsShortFormElseItsVerbatimFormWhileTheLineHoldsIt) {
  const std::string p300 = path_of(300);
  const std::string short300 = "C:\\AAAA~1\\BBBB~1\\CCCC~1\\DDDD~1\\EEEE~1\\FFFF~1\\GGGG~1";
  const std::string share = path_of(300, "\\\\srv\\share\\");
  const std::string tick = "C:\\Users\\Иван\\AppData\\Local\\Kora✓";
  const std::string tick_short = "C:\\Users\\8E3A~1\\AppData\\Local\\KORA~1";
  const std::string long_tick = path_of(290) + "\\Koraé€";
  const std::optional<std::string> none;
  constexpr uint32_t kTooLong = script_code::kFilenameTooLong;
  constexpr uint32_t kNoForm = script_code::kNoUnicodeTranslation;
  struct Case {
    std::string what;
    DeferredPath deferred;
    std::string named;  // or the code
    uint32_t code = 0;
    OemEncoder to_oem = fake_cp866;
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
      {"a line too long", {path_of(1619), 2, none}, "", kTooLong},
      {"a line too long, a short form that fits", {path_of(1619), 2, short300}, short300},
      {"'%' doubled in the line", {path_of(1617) + "%", 2, none}, "", kTooLong},
      {"a relative path", {path_of(300, "Games\\"), 2, none}, "", kTooLong},
      {"✓ outside the code page, a short form", {tick, 25, tick_short}, tick_short},
      {"✓, no short form", {tick, 25, none}, "", kNoForm},
      {"✓, no 8.3 names on the volume", {tick, 25, tick}, "", kNoForm},
      {"✓ under UTF-8", {tick, 25, none}, tick, 0, utf8_oem},
      {"é€ and too long, a short form", {long_tick, 2, short300}, short300},
      {"é€ and too long, no short form", {long_tick, 2, none}, "", kNoForm},
      {"é€ and too long under UTF-8", {long_tick, 2, none}, "\\\\?\\" + long_tick, 0, utf8_oem},
      {"an unpaired surrogate, even under UTF-8", {"C:\\K\xED\xA0\x80", 2, none}, "", kNoForm, utf8_oem},
      {"an unpaired surrogate, a short form", {"C:\\K\xED\xA0\x80", 2, "C:\\K_~1"}, "C:\\K_~1", 0, utf8_oem},
  };
  for (const Case& c : cases) {
    const OsResult<std::string> named = script_spelling(c.deferred, c.to_oem);
    EXPECT_EQ(named ? named.value() : "", c.named) << c.what;
    EXPECT_EQ(named ? 0 : named.error().code, c.code) << c.what;
  }
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
    const std::string bytes = bytes_of({"C:\\K"}, owner);
    const std::string launcher_line = "taskkill /F /IM KoraVane.exe /T >nul 2>&1\r\n";
    std::string head = kHead;
    if (!by_image) head.erase(head.find(launcher_line), launcher_line.size());
    EXPECT_TRUE(bytes.starts_with(head)) << bytes;
    EXPECT_EQ(bytes.find("/IM KoraVane.exe") != std::string::npos, by_image);
  }
}

// The owner's own working folder goes after the paths, and only while it holds nothing (no "/s");
// one the script cannot spell is left to the owner, which removes it as it ends.
TEST(ScriptText, TheOwnersWorkingFolderGoesAfterThePathsWhileEmpty) {
  ScriptOwner owner = kOwner;
  owner.working_folder = "C:\\T\\100%\\koravane-run-4242";
  const std::vector<std::string> lines = script_lines({"C:\\K"}, owner);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[6], R"(rd "C:\T\100%%\koravane-run-4242" >nul 2>&1)");
  EXPECT_EQ(lines[7], kTail);
  owner.working_folder = "C:\\T\\José\\koravane-run-4242";
  EXPECT_EQ(bytes_of({"C:\\K"}, owner), bytes_of({"C:\\K"}, kOwner));
}

// cmd may expand a '%' once more inside what %~f0 gives (Wine's does): a script in such a folder
// names itself by its name in the folder it runs in; elsewhere by its full path, as always.
TEST(ScriptText, TheLastLineNamesTheScriptWithoutItsFolderOnlyWhereTheFolderHoldsAPercentSign) {
  EXPECT_EQ(self_deletion_line("C:\\Users\\Tom&Jerry (x) ^1@x !a!\\Temp\\", "koravane-uninstall-7.cmd"),
            "del /f /q \"%~f0\" >nul 2>&1");
  const std::string relative = self_deletion_line("C:\\100% %TEMP%\\", "koravane-uninstall-7.cmd");
  EXPECT_EQ(relative, "del /f /q \".\\koravane-uninstall-7.cmd\" >nul 2>&1");
  const std::string bytes = bytes_of({"C:\\a"}, kOwner, relative);
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
