#include "ui/notice_text.h"

#include <algorithm>
#include <optional>

#include "platform/text/path_text.h"

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

// Where the root's own name is among the names of a path below it.
std::optional<size_t> root_name_index(std::string_view path, std::string_view root) {
  while (!root.empty() && is_path_separator(root.back())) root.remove_suffix(1);
  if (root.empty() || path.size() <= root.size() + 1 || !is_path_separator(path[root.size()])) return std::nullopt;
  const std::string_view above = path.substr(0, root.size());
  if (!same_path(above, root)) return std::nullopt;
  return static_cast<size_t>(std::count_if(above.begin(), above.end(), is_path_separator));
}

// The longest name from `from` on that may still be cut, 0 for none; below a root its name and the
// last name only when `any`.
size_t longest_name(const std::vector<std::string>& names, size_t from, std::optional<size_t> root_at, bool any) {
  size_t found = 0;
  size_t most = kShortestName;
  for (size_t i = from; i < names.size(); ++i) {
    const bool last_to_cut = root_at && (i == *root_at || i + 1 == names.size());
    if ((any || !last_to_cut) && characters(names[i]) > most) {
      found = i;
      most = characters(names[i]);
    }
  }
  return found;
}

}  // namespace

std::vector<std::string> shortened_paths(std::string_view path, std::string_view root) {
  std::vector<std::string> forms{std::string(path)};
  const std::vector<std::string> names = split_names(path);
  const size_t head = head_names(names);
  // Kept whole at first: the start, the first folder, the root's own name and the last two. What
  // lies between them gives way to one "…" a run, where that saves anything ("…\" takes two
  // characters itself).
  const std::optional<size_t> root_name = root_name_index(path, root);
  const auto kept = [&](size_t i) { return i <= head || i + 2 >= names.size() || i == root_name; };
  std::vector<std::string> shorter;
  std::optional<size_t> root_at;  // where the root's name is in shorter
  for (size_t i = 0; i < names.size();) {
    size_t end = i + 1;
    if (!kept(i)) {
      size_t length = 0;
      for (end = i; end < names.size() && !kept(end); ++end) length += characters(names[end]) + 1;
      if (length > 2) {
        shorter.emplace_back(kEllipsis);
        i = end;
        continue;
      }
    }
    for (; i < end; ++i) {
      if (i == root_name) root_at = shorter.size();
      shorter.push_back(names[i]);
    }
  }
  if (shorter != names) forms.push_back(joined(shorter));
  // Then the longest name left gives up a quarter of itself, again and again. Below a root, its
  // name and the last name give last; before they do, what lies between them goes.
  for (bool between_dropped = !root_at;;) {
    size_t cut = longest_name(shorter, head, root_at, false);
    if (cut == 0 && !between_dropped) {
      between_dropped = true;
      const auto first = shorter.begin() + static_cast<std::ptrdiff_t>(*root_at) + 1;
      const auto last = shorter.end() - 1;
      size_t length = 0;
      for (auto name = first; name < last; ++name) length += characters(*name) + 1;
      if (length > 2) {
        shorter.insert(shorter.erase(first, last), std::string(kEllipsis));
        forms.push_back(joined(shorter));
        continue;
      }
    }
    if (cut == 0) cut = longest_name(shorter, head, root_at, true);
    if (cut == 0) break;
    shorter[cut] = cut_middle(shorter[cut], std::max(kShortestName, characters(shorter[cut]) * 3 / 4));
    forms.push_back(joined(shorter));
  }
  return forms;
}

std::vector<std::string> notice_bodies(const NoticeMessage& message) {
  if (message.path.empty()) return {prepare_notice_body(message.before + message.after)};
  const std::vector<std::string> forms = shortened_paths(message.path, message.root);
  std::vector<std::string> bodies;
  for (size_t brevity = 0; brevity <= message.briefer.size(); ++brevity) {
    const std::string& after = brevity == 0 ? message.after : message.briefer[brevity - 1];
    for (const std::string& form : forms) bodies.push_back(prepare_notice_body(message.before + form + after));
  }
  return bodies;
}

}  // namespace koravane
