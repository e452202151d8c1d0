#include "run/detach.h"

#include <charconv>
#include <vector>

namespace koravane {

DetachPlan plan_detach(bool stoppable_ancestor, const JobLimits& job) {
  const bool known_to_end_us = job.in_job && job.known && job.kill_on_close;
  const bool may_end_us = known_to_end_us || (job.in_job && !job.known);
  DetachPlan plan;
  plan.detach = stoppable_ancestor || may_end_us;
  plan.breakaway = plan.detach && job.in_job && !job.silent_breakaway_ok && (may_end_us || job.breakaway_ok);
  plan.stay_if_refused = plan.breakaway && !known_to_end_us;
  return plan;
}

std::string continued_run_value(const FirstCopy& first) {
  return std::to_string(first.id) + ":" + std::to_string(first.created);
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

std::optional<FirstCopy> parse_continued_run_value(std::string_view text) {
  const size_t colon = text.find(':');
  FirstCopy first;
  if (colon == std::string_view::npos || !parse_decimal(text.substr(0, colon), first.id) ||
      !parse_decimal(text.substr(colon + 1), first.created)) {
    return std::nullopt;
  }
  return first;
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
