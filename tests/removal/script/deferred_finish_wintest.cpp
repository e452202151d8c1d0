// A full removal that cannot finish while a game file is held open hands what stayed to the
// self-deletion script, which tries it again once the holder has let go; the root stays for a
// second run. The script is owned by an id that is this test's, under another image name: the
// filter must spare the test.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/basics/handles_win.h"
#include "removal/steps/removal_steps.h"
#include "selfdelete/self_delete.h"
#include "support/run_context_win.h"
#include "support/running_copy_win.h"
#include "support/test_files_win.h"

namespace koravane {
namespace {

using test::fresh_folder;
using test::path_exists;
using test::wait_until_gone;

TEST(DeferredFinish, TheScriptTriesAgainWhatStayedAfterTheHolderEnds) {
  const std::string root = join_path(fresh_folder("deferred"), "Игры KoraVane 100%");
  test::make_folder(root);
  test::make_folder(join_path(root, "saves"));
  const std::string held = join_path(root, "saves\\world.dat");
  ASSERT_TRUE(test::write_file(held, "world"));
  ASSERT_TRUE(test::write_file(join_path(root, "current.json"), "{}"));
  test::set_env("APPDATA", std::nullopt);

  const std::wstring ready_name = L"koravane-ready-" + std::to_wstring(GetTickCount64());
  const std::wstring release_name = ready_name + L"-release";
  UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str()));
  UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, release_name.c_str()));
  std::wstring command = L"tree_helper hold \"" + to_wide(held) + L"\" " + ready_name + L" " +
                         release_name;
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(to_wide(KORAVANE_TREE_HELPER).c_str(), command.data(), nullptr,
                             nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  UniqueHandle holder(process.hProcess), holder_thread(process.hThread);
  const test::EndedOnExit holder_ends{holder.get()};  // also when an assertion leaves early
  const HANDLE ready_or_gone[] = {ready.get(), holder.get()};
  ASSERT_EQ(WaitForMultipleObjects(2, ready_or_gone, FALSE, 60000), WAIT_OBJECT_0)
      << "the holder never said that it holds the file";

  const RunContext context = test::context_for(root);
  const RemovalOutcome outcome = run_full_removal(context);
  ASSERT_TRUE(path_exists(held));  // the tree removal could not take it
  const std::string saves = join_path(root, "saves");
  ASSERT_EQ(outcome.deferred_paths, std::vector<std::string>{saves});
  // The holder lets go before the script is scheduled: the script's one attempt comes two seconds
  // after it starts, and a holder slow to go on a loaded machine must not decide the outcome.
  SetEvent(release.get());
  ASSERT_EQ(WaitForSingleObject(holder.get(), 60000), WAIT_OBJECT_0);
  schedule_self_deletion(outcome.deferred_paths, context.log, {GetCurrentProcessId(), "Uninstall.exe"});
  const auto log = test::read_file(join_path(root, "updates\\rust-updater.log"));
  ASSERT_TRUE(log);
  const size_t at = log->find("scheduled delete via ");
  ASSERT_NE(at, std::string::npos) << *log;
  const std::string script = log->substr(at + 21, log->find('\n', at) - at - 21);
  EXPECT_TRUE(wait_until_gone({saves})) << saves;
  EXPECT_TRUE(wait_until_gone({script})) << script;  // and this test is still running to see it
  EXPECT_TRUE(path_exists(join_path(root, "updates\\rust-updater.log"))) << "the run log stays for the next run";
}

}  // namespace
}  // namespace koravane
