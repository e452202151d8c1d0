#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>
#include <string>

#include "platform/processes/child_process.h"
#include "platform/files/env.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "selfdelete/script_encoding_win.h"
#include "selfdelete/script_text.h"
#include "selfdelete/self_delete.h"

#include "support/run_context_win.h"
#include "support/running_copy_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::fresh_folder;
using test::wait_until_gone;
using test::write_file;

// How paths go into the script is the script text's own test, with a stand-in code page; here
// the system's code page 866 itself.
TEST(ScriptEncoding, CyrillicBecomesOem866BytesAndAsciiStaysAsItIs) {
  ASSERT_EQ(GetOEMCP(), 866u) << "the test prefix runs with LANG=ru_RU.UTF-8";
  // И в а н / И г р ы in code page 866.
  EXPECT_EQ(encode_oem_lossless("C:\\Users\\Иван\\Игры"),
            "C:\\Users\\\x88\xa2\xa0\xad\\\x88\xa3\xe0\xeb");
  EXPECT_EQ(encode_oem_lossless("C:\\R&D 100% (x)"), "C:\\R&D 100% (x)");
}

TEST(ScriptEncoding, CharactersOutsideTheOemCodePageHaveNoForm) {
  // No best-fit: "é" must not quietly become "e" and name another folder.
  for (const std::string text : {"Café", "C:\\游戏", "Иван 😀"}) {
    EXPECT_EQ(encode_oem_lossless(text), std::nullopt) << text;
  }
}

// A code page that cannot tell whether a character came through exactly gives no form at all, not
// an empty one: UTF-7 takes no request for best-fit checks.
TEST(ScriptEncoding, ACodePageThatRefusesTheCheckGivesNoForm) {
  for (const std::string text : {"C", "C:\\Games", "Иван"}) {
    EXPECT_EQ(encode_lossless(CP_UTF7, text), std::nullopt) << text;
  }
  EXPECT_EQ(encode_lossless(866, "И"), "\x88") << "the same text in a code page that has it";
}

// The OEM code page under "Beta: use Unicode UTF-8": Windows refuses to report a default character
// there (ERROR_INVALID_PARAMETER; Wine 8 answers anyway), so that is not asked; every character
// converts, an unpaired surrogate none.
TEST(ScriptEncoding, UnderUtf8EveryCharacterConvertsAndAnUnpairedSurrogateNone) {
  for (const std::string text : {"Kora✓", "Koraé€", "Kora🎮", "C:\\Users\\Иван"}) {
    EXPECT_EQ(encode_lossless(CP_UTF8, text), text) << text;
  }
  EXPECT_EQ(encode_lossless(CP_UTF8, "C:\\a\xED\xA0\x80"), std::nullopt);
}

std::string script_name() { return script_file_name(GetCurrentProcessId()); }

TEST(SelfDeletion, AScriptThatCannotBeWrittenIsLoggedAsAFailure) {
  const std::string root = fresh_folder("koravane-sd-root");
  wchar_t saved[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  const std::string missing = join_path(root, "no-such-folder\\");
  SetEnvironmentVariableW(L"TMP", to_wide(missing).c_str());
  SetEnvironmentVariableW(L"TEMP", to_wide(missing).c_str());
  schedule_self_deletion({join_path(root, "x")}, test::context_for(root), true);
  SetEnvironmentVariableW(L"TMP", saved);
  SetEnvironmentVariableW(L"TEMP", saved);
  EXPECT_EQ(test::read_all(join_path(root, "updates\\rust-updater.log")),
            "fail " + missing + script_name() + ": " + os_error_text(ERROR_PATH_NOT_FOUND) + "\n");
  EXPECT_FALSE(test::path_exists(missing));
}

// A directory named like the interpreter beside this program is found first and cannot start:
// the script is written, nothing runs it, and the log says so instead of "scheduled".
TEST(SelfDeletion, AnInterpreterThatDoesNotStartIsLoggedAsAFailure) {
  const std::string root = fresh_folder("koravane-sd-nostart");
  const std::string impostor = join_path(parent_path(own_executable_path().value()).value(), "cmd.exe");
  ASSERT_TRUE(CreateDirectoryW(to_wide(impostor).c_str(), nullptr));
  schedule_self_deletion({join_path(root, "x")}, RunLog(root), {0, "none.exe"});
  RemoveDirectoryW(to_wide(impostor).c_str());
  const std::string script = join_path(temp_folder().value(), script_name());
  const std::string log = test::read_all(join_path(root, "updates\\rust-updater.log"));
  EXPECT_TRUE(log.starts_with("fail " + script + ": ") && log.ends_with(")\n") &&
              log.find("scheduled") == std::string::npos)
      << log;
  EXPECT_TRUE(test::path_exists(script)) << "written, never run";
  DeleteFileW(to_wide(script).c_str());
}

// A copy of the idle stand-in started from path, running until it is ended, once it runs.
struct Waiter : test::IdleCopy {
  explicit Waiter(const std::string& path) : IdleCopy(test::built_program(KORAVANE_IDLE), path) {}
};

std::string script_of_this_process() {
  return join_path(temp_folder().value(),
                   "koravane-uninstall-" + std::to_string(GetCurrentProcessId()) + ".cmd");
}

TEST(SelfDeletion, TheScriptDeletesTheListedPathsEndsOnlyItsOwnerAndDeletesItself) {
  const std::string base = fresh_folder("koravane-sd");
  const std::string root = join_path(base, "root");
  CreateDirectoryW(to_wide(root).c_str(), nullptr);
  const std::string folder = join_path(base, "Игры Ивана 100%");
  const std::string inner = join_path(folder, "saves");
  CreateDirectoryW(to_wide(folder).c_str(), nullptr);
  CreateDirectoryW(to_wide(inner).c_str(), nullptr);
  ASSERT_TRUE(write_file(join_path(inner, "мир.dat"), "x"));
  const std::string file = join_path(base, "Обновление & запуск.exe");
  ASSERT_TRUE(write_file(file, "MZ"));
  const std::string kept = join_path(base, "Игры");  // differs from the listed folder only by its tail
  CreateDirectoryW(to_wide(kept).c_str(), nullptr);

  // The uninstaller still running, another program's uninstaller and another program's updater.
  const Waiter owner(join_path(base, "KoraVane\\Uninstall.exe"));
  const Waiter other_uninstaller(join_path(base, "OtherApp\\Uninstall.exe"));
  const Waiter other_updater(join_path(base, "OtherApp\\Update.exe"));
  ASSERT_TRUE(owner.ready() && other_uninstaller.ready() && other_updater.ready());

  schedule_self_deletion({folder, file}, RunLog(root), {owner.id(), "Uninstall.exe"});

  const std::string script = script_of_this_process();
  EXPECT_EQ(test::read_all(join_path(root, "updates\\rust-updater.log")),
            "scheduled delete via " + script + "\n");
  EXPECT_TRUE(wait_until_gone({folder, file, script}));
  EXPECT_EQ(owner.exit_code(60000), 1u) << "ended by taskkill";
  EXPECT_EQ(other_uninstaller.exit_code(0), std::nullopt) << "another program's uninstaller runs on";
  EXPECT_EQ(other_updater.exit_code(0), std::nullopt) << "another program's updater runs on";
  EXPECT_TRUE(test::path_exists(kept));
}

// The interpreter reads the null device, which timeout refuses at once; the script's wait reads
// the console instead, so that the uninstaller has gone before anything is deleted.
TEST(SelfDeletion, TheScriptWaitsThoughTheInterpreterReadsTheNullDevice) {
  const std::string base = fresh_folder("koravane-sd-wait");
  const std::string listed = join_path(base, "Update.exe");
  ASSERT_TRUE(write_file(listed, "MZ"));
  const std::string record = join_path(base, "timeout.txt");
  test::set_env("KORAVANE_TIMEOUT_RECORD", record);
  schedule_self_deletion({listed}, RunLog(base), {0, "none.exe"});
  test::set_env("KORAVANE_TIMEOUT_RECORD", std::nullopt);
  EXPECT_TRUE(wait_until_gone({listed, script_of_this_process()}));
  EXPECT_EQ(test::read_all(record), "waited 2\n");
}

// base and folders below it down to a path of length characters, in names of 50 at most.
std::string deep_folder(const std::string& base, size_t length) {
  test::make_folder(base);  // or it was there
  std::string path = base;
  while (path.size() < length) {
    path = join_path(path, std::string(std::min<size_t>(50, length - path.size() - 1), 'd'));
    EXPECT_TRUE(test::make_folder(path)) << path;
  }
  return path;
}

// What a path holds counts: a short folder whose file lies past the plain limit is named by its
// 8.3 form, as is a long root; a folder so deep that neither form fits the line nor the limit
// stays, said in the log, and the paths after it are still named.
TEST(ScriptPaths, APathIsMeasuredWithWhatItHoldsAndOneThatCannotBeNamedIsSaid) {
  const std::string base = fresh_folder("koravane-sd-long");
  const std::string shallow = join_path(base, "shallow folder");
  ASSERT_TRUE(write_file(join_path(deep_folder(shallow, 262), "world.dat"), "w"));
  const std::string root = deep_folder(join_path(base, "root"), 300);
  ASSERT_TRUE(write_file(join_path(root, "Uninstall.exe"), "MZ"));
  const std::string file = join_path(base, "Update.exe");
  ASSERT_TRUE(write_file(file, "MZ"));
  const std::string unnamed = deep_folder(join_path(base, "deeper"), 1700);  // its 8.3 form too passes the limit
  const std::string tick = join_path(base, "Kora✓");  // outside code page 866: named by its 8.3 form
  ASSERT_TRUE(test::make_folder(tick) && write_file(join_path(tick, "Uninstall.exe"), "MZ"));

  const RunLog log(base);
  const ScriptPaths paths = script_paths({shallow, root, unnamed, file, tick}, log);

  ASSERT_EQ(paths.left.size(), 1u);
  EXPECT_EQ(paths.left[0].path, unnamed);
  EXPECT_EQ(paths.left[0].error, static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE));
  ASSERT_EQ(paths.named.size(), 4u);
  for (size_t i : {0u, 1u}) {
    EXPECT_NE(paths.named[i], i == 0 ? shallow : root);
    EXPECT_LE(paths.named[i].size(), 100u) << paths.named[i];
    EXPECT_TRUE(test::is_directory(paths.named[i])) << paths.named[i];
  }
  EXPECT_EQ(paths.named[2], file) << "a path that fits keeps its spelling";
  EXPECT_TRUE(encode_oem_lossless(paths.named[3]) && test::path_exists(join_path(paths.named[3], "Uninstall.exe")))
      << paths.named[3];
  EXPECT_EQ(test::read_all(join_path(base, "updates\\rust-updater.log")),
            "fail " + unnamed + ": " + os_error_text(ERROR_FILENAME_EXCED_RANGE) + "\n");
}

// Wine's cmd cannot show the verbatim form past the plain limit (its rd and del stop there), but
// it runs the line: a folder tree and a file named in that form go, and so does the script.
TEST(SelfDeletion, TheScriptTakesPathsInTheirVerbatimForm) {
  const std::string base = fresh_folder("koravane-sd-verbatim");
  const std::string folder = join_path(base, "Игры 100%");
  ASSERT_TRUE(test::make_folder(folder) && test::make_folder(join_path(folder, "saves")));
  ASSERT_TRUE(write_file(join_path(folder, "saves\\world.dat"), "w"));
  const std::string file = join_path(base, "Update.exe");
  ASSERT_TRUE(write_file(file, "MZ"));
  schedule_self_deletion({verbatim_form(folder).value(), verbatim_form(file).value()}, RunLog(base),
                         {0, "none.exe"});
  EXPECT_TRUE(wait_until_gone({folder, file, script_of_this_process()}));
}

// Install roots whose names cmd reads otherwise with delayed expansion on, each beside the
// folders a script without its guard removes in its place: between two '!' cmd sees a variable,
// and Windows' cmd also drops a '^' (Wine's keeps it).
struct ExpansionCase {
  std::string folder;
  std::vector<std::string> look_alikes;
};
const ExpansionCase kExpansionCases[] = {
    {"Games!", {"Games"}},
    {"Sa^ves!", {"Sa^ves", "Saves"}},
    {"100%!", {"100%", "100"}},
    {"R&D!", {"R&D", "RD"}},
    {"a!b^c%d&e!f", {"af", "ab^c%d&ef", "abc%d&ef"}},
};

// A copy of the script started by hand, as Windows starts it for someone whose settings turn
// delayed expansion on: every root goes with its whole tree, and no look-alike loses a file.
TEST(SelfDeletion, ACopyStartedWithDelayedExpansionOnRemovesTheRootsAndNoLookAlike) {
  const std::string base = fresh_folder("koravane-sd-expansion");
  const auto lay = [&](const std::string& folder) {
    const std::string root = join_path(join_path(base, folder), "KoraVane");
    test::make_folder(join_path(base, folder));
    test::make_folder(root);
    test::make_folder(join_path(root, "saves"));
    EXPECT_TRUE(write_file(join_path(root, "saves\\world.dat"), folder)) << folder;
    return root;
  };
  std::vector<std::string> roots;
  std::vector<std::string> look_alikes;
  for (const ExpansionCase& c : kExpansionCases) {
    roots.push_back(lay(c.folder));
    for (const std::string& look_alike : c.look_alikes) look_alikes.push_back(lay(look_alike));
  }
  const std::string folder = fresh_folder("koravane-sd-by-hand");
  ASSERT_TRUE(write_self_deletion_script(roots, {0, "none.exe"}, folder));
  ChildCommand by_hand{"cmd"};
  by_hand.arg("/V:ON").arg("/C").arg(".\\" + script_name());
  by_hand.working_directory = folder;
  by_hand.creation_flags = kCreateNoWindow;
  const auto finished = run_child(by_hand);
  ASSERT_TRUE(finished.ok()) << os_error_of(finished);
  for (const std::string& root : roots) EXPECT_FALSE(test::path_exists(root)) << root;
  for (const std::string& look_alike : look_alikes) {
    EXPECT_TRUE(test::path_exists(join_path(look_alike, "saves\\world.dat"))) << look_alike;
  }
  EXPECT_FALSE(test::path_exists(join_path(folder, script_name())));
}

// Temporary folder names that together hold every printable ASCII character a folder name may
// hold (all but \\ / : * ? " < > |), with cmd's specials, variables and delayed-expansion marks.
const std::vector<std::string> kTemporaryFolderNames = {
    "Tom&Jerry (Work) ^1@x",
    "100% %PATH% %TEMP%x !USERNAME! a^^b&&c",
    "#$'+,-.;=[]_`{}~ x",
    ".starts with a dot",
    "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789",
};

TEST(SelfDeletion, TemporaryFolderNamesCoverEveryPrintableCharacterAFolderNameMayHold) {
  for (char c = 0x20; c < 0x7F; ++c) {
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) continue;
    EXPECT_TRUE(std::any_of(kTemporaryFolderNames.begin(), kTemporaryFolderNames.end(),
                            [c](const std::string& name) { return name.find(c) != std::string::npos; }))
        << "no folder name holds '" << c << "'";
  }
}

// Wine's own cmd runs the script from each of those folders: the listed path goes, and so does
// the script itself.
TEST(SelfDeletion, TheScriptRunsFromATemporaryFolderOfAnyName) {
  const std::string base = fresh_folder("koravane-sd-special");
  wchar_t saved[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  for (const std::string& name : kTemporaryFolderNames) {
    const std::string temp = join_path(base, name) + "\\";
    ASSERT_TRUE(CreateDirectoryW(to_wide(temp).c_str(), nullptr)) << name;
    const std::string victim = join_path(base, "leftover of " + name);
    ASSERT_TRUE(CreateDirectoryW(to_wide(victim).c_str(), nullptr)) << name;
    ASSERT_TRUE(write_file(join_path(victim, "a.bin"), "a"));
    test::set_env("TMP", temp);
    test::set_env("TEMP", temp);
    schedule_self_deletion({victim}, RunLog(base), {0, "none.exe"});
    SetEnvironmentVariableW(L"TMP", saved);
    SetEnvironmentVariableW(L"TEMP", saved);
    const std::string script = join_path(temp, script_name());
    EXPECT_TRUE(wait_until_gone({victim, script})) << "the script ran from " << temp;
  }
}

}  // namespace
}  // namespace koravane
