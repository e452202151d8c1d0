#include "platform/text/path_text.h"

#include <vector>

#include "platform/text/os_text.h"

namespace koravane {
namespace {

bool verbatim(std::string_view path) { return path.substr(0, 4) == "\\\\?\\"; }

bool separator_in(std::string_view path, char c) {
  return verbatim(path) ? c == '\\' : is_path_separator(c);
}

// End of the next component starting at i (the first separator or the end).
size_t component_end(std::string_view path, size_t i) {
  while (i < path.size() && !separator_in(path, path[i])) ++i;
  return i;
}

// Skips two components of a UNC prefix (server and share) starting at i.
size_t skip_server_share(std::string_view path, size_t i) {
  i = component_end(path, i);
  if (i < path.size()) i = component_end(path, i + 1);
  return i;
}

struct Component {
  size_t begin;
  size_t end;
};

// The normal components after the root; "." components are dropped except a leading one.
std::vector<Component> components(std::string_view path) {
  std::vector<Component> out;
  size_t i = path_root_length(path);
  const bool rooted = i > 0;
  while (i < path.size()) {
    if (separator_in(path, path[i])) {
      ++i;
      continue;
    }
    const size_t end = component_end(path, i);
    const bool dot = end - i == 1 && path[i] == '.';
    if (!dot || (!rooted && out.empty() && i == 0)) out.push_back({i, end});
    i = end;
  }
  return out;
}

}  // namespace

std::string without_namespace_prefix(std::string_view path) {
  for (std::string_view prefix : {"\\\\?\\", "\\??\\", "\\\\.\\"}) {
    if (!path.starts_with(prefix)) continue;
    const std::string_view rest = path.substr(prefix.size());
    const auto letter = [&](size_t i, char lower) { return i < rest.size() && (rest[i] | 0x20) == lower; };
    if (letter(0, 'u') && letter(1, 'n') && letter(2, 'c') && rest.size() > 3 && rest[3] == '\\') {
      return "\\\\" + std::string(rest.substr(4));
    }
    if (rest.size() >= 2 && rest[1] == ':' && (rest[0] | 0x20) >= 'a' && (rest[0] | 0x20) <= 'z') {
      return std::string(rest);
    }
    break;
  }
  return std::string(path);
}

size_t path_root_length(std::string_view path) {
  size_t i = 0;
  if (verbatim(path)) {
    if (path.substr(4, 4) == "UNC\\") {
      i = skip_server_share(path, 8);
    } else {
      i = component_end(path, 4);
    }
  } else if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) {
    if (path.size() >= 4 && (path[2] == '.' || path[2] == '?') && is_path_separator(path[3])) {
      i = component_end(path, 4);  // device namespace \\.\NAME
    } else {
      i = skip_server_share(path, 2);
    }
  } else if (path.size() >= 2 && path[1] == ':') {
    i = 2;
  }
  if (i < path.size() && separator_in(path, path[i])) ++i;
  return i;
}

std::string join_path(std::string_view base, std::string_view name) {
  std::string out(base);
  if (!out.empty() && !is_path_separator(out.back())) out += '\\';
  out += name;
  return out;
}

std::string_view path_file_name(std::string_view path) {
  const auto parts = components(path);
  if (parts.empty()) return {};
  const auto last = parts.back();
  const auto name = path.substr(last.begin, last.end - last.begin);
  return name == "." || name == ".." ? std::string_view() : name;
}

std::optional<std::string> parent_path(std::string_view path) {
  const auto parts = components(path);
  if (parts.empty()) return std::nullopt;
  const size_t root = path_root_length(path);
  size_t end = parts.back().begin;
  while (end > root && separator_in(path, path[end - 1])) --end;
  return std::string(path.substr(0, end));
}

std::string comparable_path(std::string_view path) {
  std::string text = without_namespace_prefix(display_text(path));
  std::u32string points;
  for (char32_t c : code_points(text)) {
    if (c == U'/') c = U'\\';
    // Keep the two leading separators of a UNC path; collapse repeats elsewhere.
    if (c == U'\\' && !points.empty() && points.back() == U'\\' && points.size() > 1) continue;
    points += fold_case(c);
  }
  std::string folded = utf8_from_code_points(points);
  while (folded.size() > path_root_length(folded) && folded.ends_with('\\')) folded.pop_back();
  return folded;
}

bool lies_within(std::string_view path, std::string_view area) {
  return lies_within_comparable(comparable_path(path), comparable_path(area));
}

bool lies_within_comparable(std::string_view inner, std::string_view outer) {
  if (outer.empty() || !inner.starts_with(outer)) return false;
  // A drive or share root keeps its own separator; anything else must be followed by one.
  return inner.size() == outer.size() || outer.ends_with('\\') || inner[outer.size()] == '\\';
}

bool is_fully_qualified(std::string_view path) {
  if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) return true;
  return path.size() >= 3 && path[1] == ':' && is_path_separator(path[2]);
}

std::string lexically_normal(std::string_view path) {
  if (verbatim(path)) return std::string(path);
  const size_t root = path_root_length(path);
  std::string out(path.substr(0, root));
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  std::vector<std::string_view> kept;
  for (const Component& part : components(path)) {
    const std::string_view name = path.substr(part.begin, part.end - part.begin);
    if (name == ".") continue;
    if (name == "..") {
      if (!kept.empty() && kept.back() != "..") {
        kept.pop_back();
      } else if (root == 0) {
        kept.push_back(name);  // a relative path keeps what it cannot resolve
      }
      continue;
    }
    kept.push_back(name);
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) out += '\\';
    out += kept[i];
  }
  return out;
}

std::string system_path_form(std::string_view path) {
  if (path.size() < kLongPathFrom || !is_fully_qualified(path)) return std::string(path);
  if (path.size() >= 4 && is_path_separator(path[0]) && is_path_separator(path[1]) &&
      (path[2] == '?' || path[2] == '.') && is_path_separator(path[3])) {
    return std::string(path);  // a device or verbatim path is the system's already
  }
  const std::string normal = lexically_normal(path);
  if (normal.starts_with("\\\\")) return "\\\\?\\UNC\\" + normal.substr(2);
  return "\\\\?\\" + normal;
}

}  // namespace koravane
