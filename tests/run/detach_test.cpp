#include <gtest/gtest.h>

#include <string>

#include "run/detach.h"

namespace koravane {
namespace {

TEST(Detach, WhenAndHowARunLeavesTheLaunchersTreeAndJob) {
  struct Case {
    const char* what;
    bool stoppable_ancestor;
    JobLimits job;
    bool detach;
    bool breakaway;
    bool stay_if_refused;
  };
  const JobLimits none;
  const JobLimits harmless{true, true, false, false, false};
  const JobLimits harmless_may_leave{true, true, false, true, false};
  const JobLimits kills{true, true, true, false, false};
  const JobLimits kills_may_leave{true, true, true, true, false};
  const JobLimits kills_lets_go{true, true, true, true, true};
  const JobLimits unknown{true, false, false, false, false};
  const Case cases[] = {
      {"started from the desktop", false, none, false, false, false},
      {"the launcher's plain child", true, none, true, false, false},
      {"in a job that ends nothing", false, harmless, false, false, false},
      {"the launcher's child in a job that ends nothing and keeps its processes", true, harmless, true, false, false},
      {"the launcher's child in a job that ends nothing and lets them go", true, harmless_may_leave, true, true, true},
      {"in a job that ends its processes and lets none go", false, kills, true, true, false},
      {"in a job that ends its processes and lets them go", false, kills_may_leave, true, true, false},
      {"in a job whose children leave by themselves", true, kills_lets_go, true, false, false},
      {"in a job whose limits are unknown", false, unknown, true, true, true},
  };
  for (const Case& c : cases) {
    const DetachPlan plan = plan_detach(c.stoppable_ancestor, c.job);
    EXPECT_EQ(plan.detach, c.detach) << c.what;
    EXPECT_EQ(plan.breakaway, c.breakaway) << c.what;
    EXPECT_EQ(plan.stay_if_refused, c.stay_if_refused) << c.what;
  }
}

TEST(Detach, TheFirstCopyIsNamedByIdAndCreationTimeAndNothingElse) {
  const FirstCopy first{4242, 133500000000000001ull};
  const std::string value = continued_run_value(first);
  const auto back = parse_continued_run_value(value);
  ASSERT_TRUE(back.has_value()) << value;
  EXPECT_EQ(back->id, 4242u);
  EXPECT_EQ(back->created, 133500000000000001ull);
  for (const char* bad : {"", "4242", "4242:", ":1", "42 42:1", "4242:1x", "-1:5", "4294967296:1",
                          "1:18446744073709551616", "true"}) {
    EXPECT_FALSE(parse_continued_run_value(bad).has_value()) << bad;
  }
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
