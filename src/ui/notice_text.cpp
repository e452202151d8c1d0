#include "ui/notice_text.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "ui/ui_model.h"

namespace koravane {
namespace {

constexpr char32_t kEllipsis = U'\u2026';
// The fewest characters a cut name keeps: its first three and last three around the ellipsis.
constexpr size_t kShortestName = 7;

std::vector<std::u32string> split_names(const std::u32string& path) {
  std::vector<std::u32string> names(1);
  for (const char32_t c : path) {
    if (c == U'\\' || c == U'/') names.emplace_back();
    else names.back() += c;
  }
  return names;
}

std::string joined(const std::vector<std::u32string>& names) {
  std::u32string path;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) path += U'\\';
    path += names[i];
  }
  return utf8_from_code_points(path);
}

// The name cut in its middle to `length` characters, the ellipsis among them.
std::u32string cut_middle(const std::u32string& name, size_t length) {
  const size_t tail = (length - 1) / 2;
  const size_t head = length - 1 - tail;
  return name.substr(0, head) + kEllipsis + name.substr(name.size() - tail);
}

// How many leading names make the path's start: "C:", or "", "", server and share.
size_t head_names(const std::vector<std::u32string>& names) {
  const bool unc = names.size() >= 4 && names[0].empty() && names[1].empty();
  return unc ? 4 : 1;
}

}  // namespace

std::vector<std::string> shortened_paths(std::string_view path) {
  std::vector<std::string> forms{std::string(path)};
  std::vector<std::u32string> names = split_names(code_points(path));
  const size_t head = head_names(names);
  // The first folder and the last two stay; what lies between gives way to one "…", where that
  // saves anything ("…\\" takes two characters itself).
  const size_t first_dropped = std::min(head + 1, names.size());
  const size_t dropped = names.size() > head + 3 ? names.size() - 2 - first_dropped : 0;
  size_t dropped_length = 0;
  for (size_t i = first_dropped; i < first_dropped + dropped; ++i) dropped_length += names[i].size() + 1;
  if (dropped_length > 2) {
    const auto at = names.begin() + static_cast<std::ptrdiff_t>(first_dropped);
    names.insert(names.erase(at, at + static_cast<std::ptrdiff_t>(dropped)), std::u32string(1, kEllipsis));
    forms.push_back(joined(names));
  }
  // Then the longest name left gives up a quarter of itself, again and again.
  for (;;) {
    const auto longest = std::max_element(names.begin() + static_cast<std::ptrdiff_t>(head), names.end(),
                                          [](const auto& a, const auto& b) { return a.size() < b.size(); });
    if (longest == names.end() || longest->size() <= kShortestName) break;
    *longest = cut_middle(*longest, std::max(kShortestName, longest->size() * 3 / 4));
    forms.push_back(joined(names));
  }
  return forms;
}

std::vector<std::string> notice_bodies(const NoticeMessage& message) {
  if (message.path.empty()) return {prepare_notice_body(message.before + message.after)};
  std::vector<std::string> bodies;
  for (const std::string& form : shortened_paths(message.path)) {
    bodies.push_back(prepare_notice_body(message.before + form + message.after));
  }
  return bodies;
}

}  // namespace koravane
