#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "run/detach/detach.h"

namespace koravane {
namespace {

TEST(Detach, WhenAndHowARunLeavesTheLaunchersTreeAndJob) {
  using enum IfStuck;
  struct Case {
    const char* what;
    bool stoppable_ancestor;
    JobLimits job;
    bool detach, breakaway, outside_job;
    IfStuck if_refused, if_failed;
  };
  const JobLimits none;
  const JobLimits harmless{true, true, false, false, false};  // read truly: no limits at all
  const JobLimits harmless_may_leave{true, true, false, true, false};
  const JobLimits kills{true, true, true, false, false};
  const JobLimits kills_may_leave{true, true, true, true, false};
  const JobLimits kills_lets_go{true, true, true, true, true};
  const JobLimits unknown{true, false, false, false, false};
  const Case cases[] = {
      {"started from the desktop", false, none, false, false, false, start_inside, say_and_stay},
      {"the launcher's plain child", true, none, true, false, false, start_inside, stop},
      {"waited for in a job without limits", false, harmless, false, false, false, start_inside, say_and_stay},
      {"the launcher's child in a job that ends nothing and keeps its processes", true, harmless, true, false,
       false, start_inside, stop},
      {"the launcher's child in a job that ends nothing and lets them go", true, harmless_may_leave, true, true,
       false, start_inside, stop},
      {"in a job that ends its processes and lets none go", false, kills, true, true, true, say_and_stay,
       say_and_stay},
      {"the launcher's child in a job that ends its processes and lets none go", true, kills, true, true, true,
       stop, stop},
      {"in a job that ends its processes and lets them go", false, kills_may_leave, true, true, true,
       say_and_stay, say_and_stay},
      {"the launcher's child in a job whose children leave by themselves", true, kills_lets_go, true, false,
       true, stop, stop},
      {"in a job whose limits are unknown", false, unknown, true, true, true, stay, say_and_stay},
      {"the launcher's child in a job whose limits are unknown", true, unknown, true, true, true, stop, stop},
  };
  for (const Case& c : cases) {
    const DetachPlan plan = plan_detach(c.stoppable_ancestor, c.job);
    EXPECT_EQ(plan.detach, c.detach) << c.what;
    EXPECT_EQ(plan.breakaway, c.breakaway) << c.what;
    EXPECT_EQ(plan.outside_job, c.outside_job) << c.what;
    if (!c.detach) continue;  // nothing is tried, nothing can go wrong
    EXPECT_EQ(plan.if_refused, c.if_refused) << c.what;
    EXPECT_EQ(plan.if_failed, c.if_failed) << c.what;
  }
}

TEST(Detach, TheStartingCopyIsNamedByIdAndCreationTimeAndItsRole) {
  for (const bool relay : {false, true}) {
    const StartedBy by{4242, 133500000000000001ull, relay};
    const std::string value = continued_run_value(by);
    const auto back = parse_continued_run_value(value);
    ASSERT_TRUE(back.has_value()) << value;
    EXPECT_EQ(back->id, 4242u);
    EXPECT_EQ(back->created, 133500000000000001ull);
    EXPECT_EQ(back->relay, relay);
  }
  for (const char* bad : {"", "4242", "4242:", ":1", "42 42:1", "4242:1x", "-1:5", "4294967296:1",
                          "1:18446744073709551616", "true", "4242:relay", "4242:1:relay:relay", "4242:1:RELAY"}) {
    EXPECT_FALSE(parse_continued_run_value(bad).has_value()) << bad;
  }
}

ProcessEntry process(uint32_t id, uint32_t parent, uint64_t created) {
  return {id, parent, created, "Uninstall.exe", std::nullopt};
}

// The word counts only when it names this process's actual parent as the snapshot shows it.
TEST(Detach, TheWordCountsOnlyWhenItNamesTheActualParent) {
  struct Case {
    const char* what;
    StartedBy by;
    std::vector<ProcessEntry> processes;  // this process is 10
    std::optional<size_t> parent;
  };
  const Case cases[] = {
      {"its parent", {4, 50}, {process(4, 1, 50), process(10, 4, 60)}, 0},
      {"its parent, listed after it", {4, 50, true}, {process(10, 4, 60), process(4, 1, 50)}, 1},
      {"another creation time", {4, 49}, {process(4, 1, 50), process(10, 4, 60)}, {}},
      {"another process", {7, 50}, {process(7, 1, 50), process(4, 1, 50), process(10, 4, 60)}, {}},
      {"the parent's id, now a later process's", {4, 70}, {process(4, 1, 70), process(10, 4, 60)}, {}},
      {"a parent of unknown creation time", {4, 0}, {process(4, 1, 0), process(10, 4, 60)}, {}},
      {"a parent gone from the list", {4, 50}, {process(10, 4, 60)}, {}},
      {"its grandparent", {1, 40}, {process(1, 0, 40), process(4, 1, 50), process(10, 4, 60)}, {}},
      {"itself", {10, 60}, {process(4, 1, 50), process(10, 4, 60)}, {}},
      {"not listed itself", {4, 50}, {process(4, 1, 50)}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(named_parent(c.by, c.processes, 10), c.parent) << c.what;
}

// The relay's exit code carries either a handle of the first copy's or an error, never both; an
// ending the relay did not choose (ended from outside, a crash) is an error too.
TEST(Detach, TheRelaysExitCodeIsAHandleOrAnError) {
  struct Case {
    uint32_t code;
    std::optional<uint32_t> handle;
    uint32_t error;
  };
  const Case cases[] = {
      {0x4, 0x4, 0},          {0x1F8, 0x1F8, 0},       {0x3FFFFFC, 0x3FFFFFC, 0},
      {relay_failure_code(5), {}, 5},                {relay_failure_code(1450), {}, 1450},
      {0, {}, 1067},          {1, {}, 1067},           {0x1F9, {}, 1067},
      {0x4000000, {}, 1067},  {0xC0000005, {}, 1067},  {0xE0000004, {}, 1067},
      {259, {}, 1067},
  };
  for (const Case& c : cases) {
    const OsResult<uint32_t> read = read_relay_code(c.code);
    EXPECT_EQ(read.ok(), c.handle.has_value()) << c.code;
    EXPECT_EQ(read.ok() ? std::optional<uint32_t>(read.value()) : std::nullopt, c.handle) << c.code;
    EXPECT_EQ(read.ok() ? 0u : read.error().code, c.error) << c.code;
  }
}

// A relay that ended without naming the copy it started: its child, started after it, whose id
// no other process can have taken while the first copy holds the relay.
TEST(Detach, TheCopyARelayLeftIsItsChildStartedAfterIt) {
  struct Case {
    const char* what;
    std::vector<ProcessEntry> processes;  // the relay is 4, created at 50
    std::optional<size_t> copy;
  };
  const Case cases[] = {
      {"its child", {process(9, 1, 40), process(11, 4, 55)}, 1},
      {"started the same moment", {process(11, 4, 50)}, 0},
      {"a process older than the relay", {process(11, 4, 45)}, {}},
      {"a child of unknown creation time", {process(11, 4, 0)}, {}},
      {"another parent", {process(11, 5, 55)}, {}},
      {"the relay never started one", {process(9, 1, 40)}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(relayed_copy(c.processes, 4, 50), c.copy) << c.what;
  EXPECT_EQ(relayed_copy({process(11, 4, 55)}, 4, 0), std::nullopt) << "a relay of unknown creation time";
}

std::u16string block(std::initializer_list<std::u16string_view> entries) {
  std::u16string out;
  for (std::u16string_view entry : entries) out.append(entry).push_back(u'\0');
  out.push_back(u'\0');
  return out;
}

TEST(Detach, TheWordJoinsTheEnvironmentInItsSortedPlaceReplacingAnyOfItsName) {
  struct Case {
    const char* what;
    std::u16string before;
    std::u16string after;
  };
  const Case cases[] = {
      {"empty", std::u16string(2, u'\0'), block({u"K=1"})},
      {"between", block({u"=C:=C:\\x", u"APPDATA=a", u"PATH=p"}),
       block({u"=C:=C:\\x", u"APPDATA=a", u"K=1", u"PATH=p"})},
      {"first after the drive entries", block({u"=C:=C:\\x", u"PATH=p"}), block({u"=C:=C:\\x", u"K=1", u"PATH=p"})},
      {"last", block({u"A=1", u"B=2"}), block({u"A=1", u"B=2", u"K=1"})},
      {"replaced, case ignored", block({u"A=1", u"k=old", u"Z=2"}), block({u"A=1", u"K=1", u"Z=2"})},
      {"a longer name is not this one", block({u"KK=2"}), block({u"K=1", u"KK=2"})},
      {"a value holding '='", block({u"J=a=b", u"L=c"}), block({u"J=a=b", u"K=1", u"L=c"})},
  };
  for (const Case& c : cases) EXPECT_EQ(environment_with(c.before, u"K", u"1"), c.after) << c.what;
}

}  // namespace
}  // namespace koravane
