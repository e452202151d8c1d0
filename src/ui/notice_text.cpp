#include "ui/notice_text.h"

#include <algorithm>

#include "ui/ui_model.h"

namespace koravane {
namespace {

constexpr std::string_view kEllipsis = "\u2026";
// The fewest characters a cut name keeps: its first three and last three around the ellipsis.
constexpr size_t kShortestName = 7;

bool starts_character(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// Characters (Unicode scalar values) in UTF-8 text.
size_t characters(std::string_view text) { return static_cast<size_t>(std::count_if(text.begin(), text.end(), starts_character)); }

// Where the character after the first `count` characters begins.
size_t offset_after(std::string_view text, size_t count) {
  size_t offset = 0;
  for (size_t seen = 0; offset < text.size(); ++offset) {
    if (starts_character(text[offset]) && seen++ == count) break;
  }
  return offset;
}

std::vector<std::string> split_names(std::string_view path) {
  std::vector<std::string> names(1);
  for (const char c : path) {
    if (c == '\\' || c == '/') names.emplace_back();
    else names.back() += c;
  }
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  std::string path;
  for (size_t i = 0; i < names.size(); ++i) path.append(i > 0 ? "\\" : "").append(names[i]);
  return path;
}

// The name cut in its middle to `length` characters, the ellipsis among them.
std::string cut_middle(std::string_view name, size_t length) {
  const size_t tail = (length - 1) / 2;
  const size_t head = length - 1 - tail;
  return std::string(name.substr(0, offset_after(name, head)))
      .append(kEllipsis)
      .append(name.substr(offset_after(name, characters(name) - tail)));
}

// How many leading names make the path's start: "C:", or "", "", server and share.
size_t head_names(const std::vector<std::string>& names) {
  const bool unc = names.size() >= 4 && names[0].empty() && names[1].empty();
  return unc ? 4 : 1;
}

}  // namespace

std::vector<std::string> shortened_paths(std::string_view path) {
  std::vector<std::string> forms{std::string(path)};
  std::vector<std::string> names = split_names(path);
  const size_t head = head_names(names);
  // The first folder and the last two stay; what lies between gives way to one "…", where that
  // saves anything ("…\" takes two characters itself).
  const size_t first_dropped = std::min(head + 1, names.size());
  const size_t dropped = names.size() > head + 3 ? names.size() - 2 - first_dropped : 0;
  size_t dropped_length = 0;
  for (size_t i = first_dropped; i < first_dropped + dropped; ++i) dropped_length += characters(names[i]) + 1;
  if (dropped_length > 2) {
    const auto at = names.begin() + static_cast<std::ptrdiff_t>(first_dropped);
    names.insert(names.erase(at, at + static_cast<std::ptrdiff_t>(dropped)), std::string(kEllipsis));
    forms.push_back(joined(names));
  }
  // Then the longest name left gives up a quarter of itself, again and again.
  const auto shorter = [](const std::string& a, const std::string& b) { return characters(a) < characters(b); };
  for (;;) {
    const auto longest = std::max_element(names.begin() + static_cast<std::ptrdiff_t>(head), names.end(), shorter);
    const size_t length = longest == names.end() ? 0 : characters(*longest);
    if (length <= kShortestName) break;
    *longest = cut_middle(*longest, std::max(kShortestName, length * 3 / 4));
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
