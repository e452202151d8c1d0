#include "run/detach/detach.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace koravane {

DetachPlan plan_detach(bool stoppable_ancestor, const JobLimits& job) {
  const bool known_to_end_us = job.in_job && job.known && job.kill_on_close;
  const bool may_end_us = known_to_end_us || (job.in_job && !job.known);
  DetachPlan plan;
  plan.detach = stoppable_ancestor || may_end_us;
  plan.breakaway = plan.detach && job.in_job && !job.silent_breakaway_ok && (may_end_us || job.breakaway_ok);
  plan.outside_job = plan.detach && may_end_us;
  plan.if_failed = stoppable_ancestor ? IfStuck::stop : IfStuck::say_and_stay;
  if (!may_end_us) {
    plan.if_refused = IfStuck::start_inside;
  } else if (stoppable_ancestor) {
    plan.if_refused = IfStuck::stop;
  } else {
    plan.if_refused = known_to_end_us ? IfStuck::say_and_stay : IfStuck::stay;
  }
  return plan;
}

namespace {

constexpr std::string_view kRelaySuffix = ":relay";
constexpr uint32_t kRelayFailed = 1u << 29;  // the bit Win32 leaves to applications' own codes
constexpr uint32_t kHandleLimit = 1u << 26;  // above any handle value of a process's table
constexpr uint32_t kProcessAborted = 1067;   // ERROR_PROCESS_ABORTED: the relay ended otherwise

}  // namespace

std::string continued_run_value(const StartedBy& by) {
  std::string value = std::to_string(by.id) + ":" + std::to_string(by.created);
  if (by.relay) value += kRelaySuffix;
  return value;
}

std::optional<size_t> named_parent(const StartedBy& by, const std::vector<ProcessEntry>& processes,
                                   uint32_t own_id) {
  const auto own = std::find_if(processes.begin(), processes.end(),
                                [&](const ProcessEntry& entry) { return entry.id == own_id; });
  if (own == processes.end() || own->parent_id != by.id) return std::nullopt;
  for (size_t i = 0; i < processes.size(); ++i) {
    const ProcessEntry& parent = processes[i];
    if (parent.id == by.id && parent.created != 0 && parent.created == by.created && is_parent_of(parent, *own)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<size_t> relayed_copy(const std::vector<ProcessEntry>& processes, uint32_t relay_id,
                                   uint64_t relay_created) {
  const ProcessEntry relay{relay_id, 0, relay_created, {}, {}};
  for (size_t i = 0; i < processes.size(); ++i) {
    // Both times known: an unknown one could not tell the relay's child from an older process.
    if (relay_created != 0 && processes[i].created != 0 && is_parent_of(relay, processes[i])) return i;
  }
  return std::nullopt;
}

uint32_t relay_failure_code(uint32_t error) { return kRelayFailed | (error & (kRelayFailed - 1)); }

OsResult<uint32_t> read_relay_code(uint32_t exit_code) {
  if ((exit_code & ~(kRelayFailed - 1)) == kRelayFailed) return OsError{exit_code & (kRelayFailed - 1)};
  if (exit_code != 0 && exit_code % 4 == 0 && exit_code < kHandleLimit) return exit_code;
  return OsError{kProcessAborted};
}

namespace {

template <class T>
bool parse_decimal(std::string_view text, T& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The entry's name: up to the first '=' after its first character ("=C:=C:\x" is named "=C:").
std::u16string_view name_of(std::u16string_view entry) {
  const size_t equals = entry.find(u'=', 1);
  return equals == std::u16string_view::npos ? entry : entry.substr(0, equals);
}

// Ordinal, ignoring case: how the system orders an environment block.
int compare_names(std::u16string_view a, std::u16string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::optional<StartedBy> parse_continued_run_value(std::string_view text) {
  StartedBy by;
  if (text.ends_with(kRelaySuffix)) {
    by.relay = true;
    text.remove_suffix(kRelaySuffix.size());
  }
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || !parse_decimal(text.substr(0, colon), by.id) ||
      !parse_decimal(text.substr(colon + 1), by.created)) {
    return std::nullopt;
  }
  return by;
}

std::u16string environment_with(std::u16string_view block, std::u16string_view name,
                                std::u16string_view value) {
  std::vector<std::u16string_view> entries;
  for (size_t start = 0; start < block.size();) {
    const size_t end = block.find(u'\0', start);
    if (end == start || end == std::u16string_view::npos) break;  // the closing NUL
    entries.push_back(block.substr(start, end - start));
    start = end + 1;
  }
  std::u16string out;
  bool placed = false;
  const auto place = [&] {
    out.append(name).append(u"=").append(value).push_back(u'\0');
    placed = true;
  };
  for (std::u16string_view entry : entries) {
    const int order = compare_names(name_of(entry), name);
    if (!placed && order >= 0) place();
    if (order == 0) continue;  // replaced
    out.append(entry).push_back(u'\0');
  }
  if (!placed) place();
  out.push_back(u'\0');
  return out;
}

}  // namespace koravane
