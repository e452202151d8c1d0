#include <gtest/gtest.h>

#include "run/root/install_root.h"
#include "support/probe_run_win.h"

namespace koravane {
namespace {

using test::make_folder;
using probe_test::run_probe_copy;
using test::fresh_folder;
using test::write_file;

std::string source_text(RootSource source) { return std::to_string(static_cast<int>(source)); }

class InstallRootOnWine : public ::testing::Test {
 protected:
  // Every case gets its own Cyrillic-named folder holding the program, and a separate working folder.
  std::string base = fresh_folder("Корень");
  std::string program_folder = join_path(base, "Лаунчер КораВейн");
  std::string working_folder = join_path(base, "рабочая");
  std::string program = join_path(program_folder, "Удаление.exe");

  void SetUp() override {
    ASSERT_TRUE(make_folder(program_folder));
    ASSERT_TRUE(make_folder(working_folder));
  }
};

TEST_F(InstallRootOnWine, CurrentJsonMarksTheProgramFolder) {
  ASSERT_TRUE(write_file(join_path(program_folder, "current.json"), "{}"));
  const auto report = run_probe_copy(program, "--target C:\\elsewhere\\KoraVane.exe", working_folder);
  EXPECT_EQ(report.exit_code, 0u);
  EXPECT_EQ(report.executable, program);
  EXPECT_EQ(report.root, program_folder);
  EXPECT_EQ(report.source, source_text(RootSource::executable_folder));
  EXPECT_EQ(report.markers, "markers");
}

TEST_F(InstallRootOnWine, AFolderNamedCurrentJsonCountsToo) {
  ASSERT_TRUE(make_folder(join_path(program_folder, "current.json")));
  EXPECT_EQ(run_probe_copy(program, "", working_folder).root, program_folder);
}

TEST_F(InstallRootOnWine, AppCurrentMarksTheProgramFolder) {
  ASSERT_TRUE(make_folder(join_path(program_folder, "app-current")));
  const auto report = run_probe_copy(program, "", working_folder);
  EXPECT_EQ(report.root, program_folder);
  EXPECT_EQ(report.source, source_text(RootSource::executable_folder));
}

TEST_F(InstallRootOnWine, AnyAppEntryMarksTheProgramFolder) {
  ASSERT_TRUE(write_file(join_path(program_folder, "app-x"), ""));
  ASSERT_TRUE(write_file(join_path(program_folder, "игра.txt"), ""));
  const auto report = run_probe_copy(program, "/S", working_folder);
  EXPECT_EQ(report.root, program_folder);
  EXPECT_EQ(report.source, source_text(RootSource::executable_folder));
  EXPECT_EQ(report.mode, "quiet");
}

TEST_F(InstallRootOnWine, NoMarkersAndNoTargetGiveTheWorkingFolder) {
  ASSERT_TRUE(make_folder(join_path(program_folder, "App-1")));  // case matters
  ASSERT_TRUE(make_folder(join_path(program_folder, "app")));
  const auto report = run_probe_copy(program, "", working_folder);
  EXPECT_EQ(report.exit_code, 0u);
  EXPECT_EQ(report.root, working_folder);
  EXPECT_EQ(report.source, source_text(RootSource::current_directory));
  EXPECT_EQ(report.markers, "no markers");
}

TEST_F(InstallRootOnWine, NoMarkersThenTheTargetStepsOverItsAppFolder) {
  const std::string launcher = join_path(base, "Игры");
  const std::string target = join_path(join_path(launcher, "app-1.5.84"), "KoraVane.exe");
  const auto report = run_probe_copy(program, "--target \"'" + target + "'\"", working_folder);
  EXPECT_EQ(report.root, launcher);
  EXPECT_EQ(report.source, source_text(RootSource::target));
  // Nothing was checked on disk: the folder does not even exist.
  EXPECT_EQ(report.markers, "no markers");
}

// The evidence start-up finds for folder, named as the target's folder (the test program's own
// folder holds no launcher files, so the target decides).
LauncherEvidence evidence_of(const std::string& folder) {
  LaunchOptions options;
  options.target = join_path(folder, "KoraVane.exe");
  const RunContext context = start_run(options);
  EXPECT_EQ(context.root.path, folder);
  EXPECT_EQ(context.root.source, RootSource::target);
  return context.root.evidence;
}

TEST(InstallRootMarkers, OnRealFolders) {
  const std::string folder = fresh_folder("маркеры");
  EXPECT_EQ(evidence_of(folder), LauncherEvidence::none);
  ASSERT_TRUE(write_file(join_path(folder, "appendix"), ""));
  ASSERT_TRUE(make_folder(join_path(folder, "App-2")));  // listed names are compared with case
  EXPECT_EQ(evidence_of(folder), LauncherEvidence::none);
  // A fallback folder needs an entry of a kind the launcher makes: a version folder of digits and
  // dots, not any "app-" name, nor a file named like one.
  ASSERT_TRUE(make_folder(join_path(folder, "app-Ё")));
  ASSERT_TRUE(make_folder(join_path(folder, "app-1Ё")));
  ASSERT_TRUE(write_file(join_path(folder, "app-3"), ""));
  EXPECT_EQ(evidence_of(folder), LauncherEvidence::none);
  ASSERT_TRUE(make_folder(join_path(folder, "app-1.5.84")));
  EXPECT_EQ(evidence_of(folder), LauncherEvidence::markers);
  EXPECT_EQ(evidence_of(join_path(folder, "missing")), LauncherEvidence::none);
}

// A root given relative to the current directory is made absolute once, at start-up; every
// step then works on that absolute form (the deferred script too, which runs elsewhere).
TEST(InstallRootMarkers, ARelativeRootIsMadeAbsoluteOnceAgainstTheCurrentDirectory) {
  const std::string work = fresh_folder("relative");
  ASSERT_TRUE(make_folder(join_path(work, "Игры")));
  wchar_t saved[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(to_wide(work).c_str()));
  LaunchOptions options;
  options.target = "Игры\\KoraVane.exe";
  const RunContext relative = start_run(options);
  options.target = "KoraVane.exe";
  const RunContext empty = start_run(options);
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(relative.root.path, "Игры");
  EXPECT_TRUE(same_path(relative.root.absolute, join_path(work, "Игры"))) << relative.root.absolute;
  EXPECT_EQ(empty.root.path, "");
  EXPECT_TRUE(same_path(empty.root.absolute, work)) << empty.root.absolute;
  EXPECT_FALSE(relative.executable.empty());
}

// A run log speaks for the folder of the uninstaller the way back starts, never for one reached by
// a fallback.
TEST_F(InstallRootOnWine, ARunLogNamingTheProgramFolderIsEvidence) {
  ASSERT_TRUE(make_folder(join_path(program_folder, "updates")));
  const std::string log = join_path(program_folder, "updates\\rust-updater.log");
  ASSERT_TRUE(write_file(log, "Uninstall 1.5.84 start quiet=true root=" + join_path(program_folder, "other") + "\n"));
  EXPECT_EQ(run_probe_copy(program, "", working_folder).root, working_folder);
  // A long log: the start line lies in its last part, read from the end.
  ASSERT_TRUE(write_file(log, std::string(3 << 20, 'x') + "\nUninstall 1.5.84 start quiet=true root=" +
                                  program_folder + "\nsettings removed: x\n"));
  const auto report = run_probe_copy(program, "", working_folder);
  EXPECT_EQ(report.root, program_folder);
  EXPECT_EQ(report.markers, "markers");
  EXPECT_EQ(evidence_of(program_folder), LauncherEvidence::none);
}

}  // namespace
}  // namespace koravane
