#pragma once
// Leaving the launcher's tree. A run started by the launcher (its "uninstall" menu) is the
// launcher's child: ending the launcher with its tree, or closing a job that ends its processes
// with it, would end the run too. Such a run continues in a new copy of itself outside that tree
// and job before anything is stopped, and the first copy exits.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

// The job this process belongs to, as far as leaving it matters.
struct JobLimits {
  bool in_job = false;
  bool known = true;  // false: the job's limits could not be read, or were read as none at all
  bool kill_on_close = false;
  bool breakaway_ok = false;
  bool silent_breakaway_ok = false;  // children are outside the job without asking
};

struct DetachPlan {
  bool detach = false;
  bool breakaway = false;        // the new copy asks to leave the job
  bool stay_if_refused = false;  // a refused breakaway is tried again inside the job
};

// Detach when an ancestor may be ended by the stop step or the job may end this process with
// it (limits unknown count as may). The new copy asks to leave a job whose children do not leave
// by themselves wherever that may be allowed; when the job refuses, it starts inside the job
// instead, unless the job is known to end its processes: that refusal is the failure to report.
DetachPlan plan_detach(bool stoppable_ancestor, const JobLimits& job);

// Tells the new copy that it continues a run, and which process it waits for before it stops
// anything: the first copy, by id and creation time. It is passed in the new copy's environment
// only, which a person neither sees nor types by accident, and the new copy removes it from its
// own at once, so that nothing it starts inherits it.
inline constexpr std::string_view kContinuedRunVariable = "KORAVANE_UNINSTALL_CONTINUES_RUN";

struct FirstCopy {
  uint32_t id = 0;
  uint64_t created = 0;
};
std::string continued_run_value(const FirstCopy& first);
// Nothing for text that is not "<id>:<creation time>" in decimal.
std::optional<FirstCopy> parse_continued_run_value(std::string_view text);

// An environment block (NUL-terminated "NAME=VALUE" strings, then one more NUL) with name set to
// value: an entry of that name (case ignored) is replaced; a new one goes where the system keeps
// the block sorted by name.
std::u16string environment_with(std::u16string_view block, std::u16string_view name,
                                 std::u16string_view value);

}  // namespace koravane
