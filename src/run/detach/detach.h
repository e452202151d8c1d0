#pragma once
// Leaving the launcher's tree. A run started by the launcher (its "uninstall" menu) is the
// launcher's child: ending the launcher with its tree, or closing a job that ends its processes
// with it, would end the run too. Such a run continues in a new copy of itself outside that tree
// and job before anything is stopped, and the first copy exits.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes/processes.h"
#include "platform/basics/result.h"

namespace koravane {

// The job this process belongs to, as far as leaving it matters.
struct JobLimits {
  bool in_job = false;
  // false: the job's limits could not be read, or the system reads every job as one without
  // limits (a job of the run's own, made with kill-on-close, read back as none)
  bool known = true;
  bool kill_on_close = false;
  bool breakaway_ok = false;
  bool silent_breakaway_ok = false;  // children are outside the job without asking
};

// What a run does where it could not leave as planned.
enum class IfStuck {
  start_inside,  // the job would not end the run anyway: the new copy starts inside it
  stay,          // only a job of unknown limits was a reason to leave: the run goes on here
  say_and_stay,  // "fail detach" in the run log, and the run goes on here
  stop,          // the stop step could end the run here: it stops nothing and removes nothing
};

struct DetachPlan {
  bool detach = false;
  bool breakaway = false;              // the new copy asks to leave the job
  bool outside_job = false;            // the new copy may not stay in a job (checked before it runs)
  IfStuck if_refused = IfStuck::stop;  // the job keeps the new copy
  IfStuck if_failed = IfStuck::stop;   // anything else went wrong
};

// Detach when an ancestor may be ended by the stop step (which may end its tree) or the job may
// end this process with it (limits unknown count as may). The new copy asks to leave a job whose
// children do not leave by themselves wherever that may be allowed. Where the run cannot leave,
// it stops when the stop step could end it; a job that merely might end it when its owner goes
// is said in the log when known to, and otherwise the run goes on where it is.
DetachPlan plan_detach(bool stoppable_ancestor, const JobLimits& job);

// Tells a new copy that it continues a run and which process started it (its parent), by id and
// creation time. It is passed in the new copy's environment only, which a person neither sees nor
// types by accident, and the new copy removes it from its own at once, so that nothing it starts
// inherits it.
inline constexpr std::string_view kContinuedRunVariable = "KORAVANE_UNINSTALL_CONTINUES_RUN";

// The first copy starts a relay, which starts the copy that goes on and ends at once: the copy
// that goes on then descends from no living process of the launcher's tree, while the first copy
// waits for it to end, so that whoever waits for the first copy waits for the whole run.
struct StartedBy {
  uint32_t id = 0;
  uint64_t created = 0;
  bool relay = false;  // the new copy is the relay
};
std::string continued_run_value(const StartedBy& by);
// Nothing for text that is not "<id>:<creation time>" in decimal, with ":relay" for a relay.
std::optional<StartedBy> parse_continued_run_value(std::string_view text);

// The entry of this process's parent when by names it (its id, and its creation time as far as
// the snapshot knows it); nothing for any other value, which then counts for nothing.
std::optional<size_t> named_parent(const StartedBy& by, const std::vector<ProcessEntry>& processes,
                                   uint32_t own_id);

// The copy that goes on, among processes, when the relay (by its id and creation time) started it
// and has ended without saying so: the relay's child, started after it. While the first copy holds
// the relay's handle, no other process can have taken the relay's id.
std::optional<size_t> relayed_copy(const std::vector<ProcessEntry>& processes, uint32_t relay_id,
                                   uint64_t relay_created);

// The relay's exit code tells the first copy how it went: the handle, in the first copy's own
// table, of the copy that goes on, or the error that kept that copy from running.
uint32_t relay_failure_code(uint32_t error);
// A handle value (always a small multiple of 4) is its own code.
OsResult<uint32_t> read_relay_code(uint32_t exit_code);

// An environment block (NUL-terminated "NAME=VALUE" strings, then one more NUL) with name set to
// value: an entry of that name (case ignored) is replaced; a new one goes where the system keeps
// the block sorted by name.
std::u16string environment_with(std::u16string_view block, std::u16string_view name,
                                 std::u16string_view value);

}  // namespace koravane
