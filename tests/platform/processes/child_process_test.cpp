#include <gtest/gtest.h>

#include <set>

#include "platform/processes/child_process.h"
#include "platform/text/os_text.h"

namespace koravane {
namespace {

// A file system of known paths and the four search stages' answers.
struct FakeSystem {
  std::set<std::string> existing;
  std::optional<std::string> exe = "C:\\Games\\KoraVane\\Uninstall.exe";
  std::optional<std::string> system = "C:\\Windows\\system32";
  std::optional<std::string> windows = "C:\\Windows";
  std::optional<std::string> path;
  mutable std::vector<std::string> probes;

  ProgramSearchEnvironment environment() const {
    ProgramSearchEnvironment e;
    e.exists = [this](const std::string& p) {
      probes.push_back(p);
      return existing.count(p) > 0;
    };
    e.own_executable_path = [this] { return exe; };
    e.system_directory = [this] { return system; };
    e.windows_directory = [this] { return windows; };
    e.path_variable = [this] { return path; };
    return e;
  }
  ChildResult<std::string> resolve(std::string_view name) const {
    return resolve_program(name, environment());
  }
};

std::string launch_message(const ChildResult<std::string>& r) {
  return launch_error_of(r) ? std::string(launch_error_of(r)->message) : std::string("(no launch error)");
}

std::string line_of(std::string_view program, const std::vector<std::string>& arguments) {
  auto line = build_command_line(program, arguments);
  if (!line) return "(error)";
  return display_text_from_utf16(line.value());
}

TEST(ResolveProgram, OwnFolderComesFirstThenSystemWindowsAndPath) {
  FakeSystem fs;
  fs.path = "D:\\tools;C:\\bin";
  fs.existing = {"C:\\Games\\KoraVane\\taskkill.exe", "C:\\Windows\\system32\\taskkill.exe",
                 "C:\\Windows\\taskkill.exe", "D:\\tools\\taskkill.exe"};
  EXPECT_EQ(fs.resolve("taskkill").value(), "C:\\Games\\KoraVane\\taskkill.exe");
  fs.existing.erase("C:\\Games\\KoraVane\\taskkill.exe");
  EXPECT_EQ(fs.resolve("taskkill").value(), "C:\\Windows\\system32\\taskkill.exe");
  fs.existing.erase("C:\\Windows\\system32\\taskkill.exe");
  EXPECT_EQ(fs.resolve("taskkill").value(), "C:\\Windows\\taskkill.exe");
  fs.existing.erase("C:\\Windows\\taskkill.exe");
  EXPECT_EQ(fs.resolve("taskkill").value(), "D:\\tools\\taskkill.exe");
  fs.existing = {"C:\\bin\\taskkill.exe"};
  fs.probes.clear();
  EXPECT_EQ(fs.resolve("taskkill").value(), "C:\\bin\\taskkill.exe");
  EXPECT_EQ(fs.probes, (std::vector<std::string>{
                           "C:\\Games\\KoraVane\\taskkill.exe", "C:\\Windows\\system32\\taskkill.exe",
                           "C:\\Windows\\taskkill.exe", "D:\\tools\\taskkill.exe",
                           "C:\\bin\\taskkill.exe"}));
}

TEST(ResolveProgram, MissingStagesAreSkippedAndNothingFoundIsAnError) {
  FakeSystem fs;
  fs.exe.reset();
  fs.system.reset();
  fs.windows.reset();
  fs.existing = {"E:\\x\\cmd.exe"};
  EXPECT_EQ(launch_message(fs.resolve("cmd")), kProgramNotFound);
  EXPECT_EQ(launch_error_of(fs.resolve("cmd"))->kind, LaunchErrorKind::not_found);
  fs.path = "E:\\x";
  EXPECT_EQ(fs.resolve("cmd").value(), "E:\\x\\cmd.exe");
}

TEST(ResolveProgram, ExeIsAddedOnlyToNamesWithoutAFullStop) {
  FakeSystem fs;
  fs.existing = {"C:\\Windows\\system32\\cmd.exe", "C:\\Windows\\system32\\tool.v2",
                 "C:\\Windows\\system32\\tool.v2.exe"};
  EXPECT_EQ(fs.resolve("cmd").value(), "C:\\Windows\\system32\\cmd.exe");
  EXPECT_EQ(fs.resolve("cmd.exe").value(), "C:\\Windows\\system32\\cmd.exe");
  EXPECT_EQ(fs.resolve("tool.v2").value(), "C:\\Windows\\system32\\tool.v2");
  fs.existing = {"C:\\Windows\\system32\\cmd.exe.exe"};
  EXPECT_EQ(launch_message(fs.resolve("cmd.exe")), kProgramNotFound);
  // A directory of the candidate's name counts: existence is all the search asks.
  fs.existing = {"C:\\Windows\\taskkill.exe"};
  EXPECT_EQ(fs.resolve("taskkill").value(), "C:\\Windows\\taskkill.exe");
}

TEST(ResolveProgram, PathsAreNotSearchedAndGetExeOnlyWhenThatExists) {
  FakeSystem fs;
  fs.existing = {"C:\\Games\\KoraVane\\taskkill.exe", "D:\\a\\tool.exe", "D:/b/run.exe"};
  EXPECT_EQ(fs.resolve("D:\\a\\tool").value(), "D:\\a\\tool.exe");
  EXPECT_EQ(fs.resolve("D:/b/run").value(), "D:/b/run.exe");
  EXPECT_EQ(fs.resolve("D:\\a\\other").value(), "D:\\a\\other");
  EXPECT_EQ(fs.resolve("D:\\a\\Gone.EXE").value(), "D:\\a\\Gone.EXE");
  EXPECT_EQ(fs.resolve(".\\taskkill").value(), ".\\taskkill");
  fs.probes.clear();
  EXPECT_EQ(fs.resolve("D:\\a\\x.ExE").value(), "D:\\a\\x.ExE");
  EXPECT_TRUE(fs.probes.empty());
}

// A path keeps its name when the name ends in ".exe" in any ASCII case, and otherwise gets
// ".exe" only when that exists. Names shorter than the suffix, and suffixes without the full
// stop, are not ".exe" names.
TEST(ResolveProgram, ExeSuffixOfPathsIsExactAndCaseInsensitive) {
  struct Case {
    const char* name;
    const char* with_exe_present;  // result when name + ".exe" exists
  };
  const Case cases[] = {
      {"D:\\a.exe", "D:\\a.exe"},   {"D:\\a.EXE", "D:\\a.EXE"}, {"D:\\a.ExE", "D:\\a.ExE"},
      {"D:\\a.eXe", "D:\\a.eXe"},   {"D:/a.exE", "D:/a.exE"},   {"\\.exe", "\\.exe"},
      {"D:\\runexe", "D:\\runexe.exe"}, {"D:\\run.ex", "D:\\run.ex.exe"},
      {"D:\\a.exe.", "D:\\a.exe..exe"}, {"D:\\a.exe ", "D:\\a.exe .exe"},
      {"D:\\a,exe", "D:\\a,exe.exe"}, {"D:\\a.exf", "D:\\a.exf.exe"},
      {"D:\\a.dxe", "D:\\a.dxe.exe"}, {"D:\\a.fxe", "D:\\a.fxe.exe"},
      {"D:\\a.eye", "D:\\a.eye.exe"}, {"D:\\a.exd", "D:\\a.exd.exe"},
      {"a/b", "a/b.exe"},           {"\\e", "\\e.exe"},         {"/x", "/x.exe"},
      {"\\ex", "\\ex.exe"},         {"/exe", "/exe.exe"},
  };
  for (const Case& c : cases) {
    FakeSystem fs;
    fs.existing = {std::string(c.name) + ".exe"};
    EXPECT_EQ(fs.resolve(c.name).value(), c.with_exe_present) << c.name;
    fs.existing.clear();
    EXPECT_EQ(fs.resolve(c.name).value(), c.name) << c.name;
  }
}

// Bare names shorter than the suffix are searched like any other: with ".exe" added when they
// hold no full stop.
TEST(ResolveProgram, ShortBareNamesAreSearched) {
  FakeSystem fs;
  fs.existing = {"C:\\Windows\\system32\\e.exe", "C:\\Windows\\system32\\exe.exe",
                 "C:\\Windows\\system32\\.ex", "C:\\Windows\\system32\\a.e"};
  EXPECT_EQ(fs.resolve("e").value(), "C:\\Windows\\system32\\e.exe");
  EXPECT_EQ(fs.resolve("exe").value(), "C:\\Windows\\system32\\exe.exe");
  EXPECT_EQ(fs.resolve(".ex").value(), "C:\\Windows\\system32\\.ex");
  EXPECT_EQ(fs.resolve("a.e").value(), "C:\\Windows\\system32\\a.e");
  EXPECT_EQ(launch_message(fs.resolve("ex")), kProgramNotFound);
}

TEST(ResolveProgram, NamesWithoutAFileNameAndNulBytesAreRejected) {
  FakeSystem fs;
  for (std::string_view name : {"", "C:\\dir\\", "dir/", "\\\\?\\C:\\dir\\"}) {
    auto r = fs.resolve(name);
    EXPECT_EQ(launch_message(r), kNoFileName) << name;
    ASSERT_NE(launch_error_of(r), nullptr);
    EXPECT_EQ(launch_error_of(r)->kind, LaunchErrorKind::invalid_input);
  }
  // Under the verbatim prefix '/' is no separator, so the name has a file name.
  EXPECT_EQ(fs.resolve("\\\\?\\C:\\dir/").value(), "\\\\?\\C:\\dir/");
  fs.existing = {"C:\\Windows\\system32\\a"};
  EXPECT_EQ(launch_message(fs.resolve(std::string_view("a\0b", 3))), kNulByte);
}

TEST(SearchPath, QuotedSemicolonsStayAndEmptyEntriesGo) {
  EXPECT_EQ(split_search_path("C:\\a;;\"D:\\x;y\";E:\\b;"),
            (std::vector<std::string>{"C:\\a", "D:\\x;y", "E:\\b"}));
  EXPECT_EQ(split_search_path(";\"\";"), std::vector<std::string>{});
  EXPECT_EQ(split_search_path("C:\\P\"rog\"s;F"), (std::vector<std::string>{"C:\\Progs", "F"}));
  FakeSystem fs;
  fs.exe.reset();
  fs.system.reset();
  fs.windows.reset();
  fs.path = ";\"D:\\x;y\";;";
  fs.existing = {"D:\\x;y\\cmd.exe"};
  EXPECT_EQ(fs.resolve("cmd").value(), "D:\\x;y\\cmd.exe");
}

TEST(CommandLine, QuotesAndBackslashesAreEscapedOnlyWhereSplittingNeedsIt) {
  EXPECT_EQ(line_of("cmd", {}), "\"cmd\"");
  EXPECT_EQ(line_of("cmd", {""}), "\"cmd\" \"\"");
  EXPECT_EQ(line_of("cmd", {"/C", "C:\\Temp\\koravane-uninstall-1.cmd"}),
            "\"cmd\" /C C:\\Temp\\koravane-uninstall-1.cmd");
  EXPECT_EQ(line_of("cmd", {"C:\\My Temp\\x.cmd"}), "\"cmd\" \"C:\\My Temp\\x.cmd\"");
  EXPECT_EQ(line_of("p", {"a\\\"b"}), "\"p\" a\\\\\\\"b");
  EXPECT_EQ(line_of("p", {"a b\\\\"}), "\"p\" \"a b\\\\\\\\\"");
  EXPECT_EQ(line_of("p", {"dir\\"}), "\"p\" dir\\");
  EXPECT_EQ(line_of("p", {"\""}), "\"p\" \\\"");
  EXPECT_EQ(line_of("p", {"a\tb"}), "\"p\" \"a\tb\"");
  EXPECT_EQ(line_of("p", {"\\\\\"\" x"}), "\"p\" \"\\\\\\\\\\\"\\\" x\"");
  // The program name is copied as given, never escaped, even when it is a path.
  EXPECT_EQ(line_of("C:\\a b\\p", {"é"}), "\"C:\\a b\\p\" é");
}

TEST(CommandLine, NulInAnArgumentOrTheProgramIsRejected) {
  auto bad_argument = build_command_line("p", {"ok", std::string("a\0b", 3)});
  ASSERT_NE(launch_error_of(bad_argument), nullptr);
  EXPECT_EQ(launch_error_of(bad_argument)->message, kNulByte);
  EXPECT_EQ(launch_error_of(bad_argument)->kind, LaunchErrorKind::invalid_input);
  EXPECT_NE(launch_error_of(build_command_line(std::string("p\0", 2), {})), nullptr);
}

}  // namespace
}  // namespace koravane
