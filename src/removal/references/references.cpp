#include "removal/references/references.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool has_extension(std::string_view path) {
  return path_file_name(path).find('.') != std::string_view::npos;
}

// Whether text ends in the lower-case ASCII suffix, in any case.
bool ends_with_any_case(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                    [](char low, char c) { return low == (c >= 'A' && c <= 'Z' ? c + 32 : c); });
}

// The system looks for "name.exe" when a program is named without an extension.
std::string with_default_extension(std::string_view program) {
  std::string out(program);
  if (!has_extension(out) && !is_path_separator(out.back())) out += ".exe";
  return out;
}

}  // namespace

std::string expand_variables(std::string_view text, const VariableLookup& lookup) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const std::optional<std::string> value = name.empty() ? std::nullopt : lookup(name);
    if (value) {
      out += *value;
      i = close + 1;
    } else {
      out += text.substr(open, close - open);  // kept as written; its closing % may open the next
      i = close;
    }
  }
  return out;
}

std::optional<std::string> command_program(std::string_view command, const FileCheck& names_file) {
  while (!command.empty() && is_blank(command.front())) command.remove_prefix(1);
  while (!command.empty() && is_blank(command.back())) command.remove_suffix(1);
  if (command.empty()) return std::nullopt;
  if (command.front() == '"') {
    const size_t close = command.find('"', 1);
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    return with_default_extension(command.substr(1, close - 1));
  }
  const auto starts_here = [&](std::string_view candidate) {
    return ends_with_any_case(candidate, ".exe") || names_file(candidate) ||
           (!has_extension(candidate) && names_file(std::string(candidate) + ".exe"));
  };
  for (size_t space = command.find_first_of(" \t"); space != std::string_view::npos;
       space = command.find_first_of(" \t", space + 1)) {
    if (starts_here(command.substr(0, space))) return with_default_extension(command.substr(0, space));
  }
  return with_default_extension(command);
}

bool points_into(std::string_view target, const std::vector<PathForms>& areas) {
  if (!is_fully_qualified(target)) return false;
  return lies_within_any(spelled_only(lexically_normal(target)), areas);
}

std::vector<LinkPlace> link_places(const ShortcutSources& sources) {
  std::vector<LinkPlace> places;
  const auto add = [&](const std::optional<std::string>& folder, LinkPlaceKind kind) {
    if (!folder || !is_fully_qualified(*folder)) return;
    for (const LinkPlace& place : places) {
      if (same_path(place.folder, *folder)) return;
    }
    places.push_back({*folder, kind});
  };
  const auto from = [](const std::optional<std::string>& base, std::string (*build)(std::string_view)) {
    return base ? std::optional<std::string>(build(*base)) : std::nullopt;
  };
  add(sources.known_desktop, LinkPlaceKind::desktop);
  add(from(sources.user_profile, desktop_folder), LinkPlaceKind::desktop);
  add(sources.known_programs, LinkPlaceKind::start_menu);
  add(from(sources.appdata, start_menu_folder), LinkPlaceKind::start_menu);
  add(from(sources.appdata, quick_launch_folder), LinkPlaceKind::quick_launch);
  return places;
}

std::vector<std::string> named_shortcuts(const ShortcutSources& sources) {
  std::vector<std::string> named;
  for (const ShortcutPlace& place : shortcut_places(sources)) {
    for (std::string_view name : place.names) named.push_back(comparable_path(join_path(place.folder, name)));
  }
  return named;
}

bool is_link_file(std::string_view name) { return ends_with_any_case(name, ".lnk"); }

std::string startup_folder(std::string_view programs) { return join_path(programs, "Startup"); }

std::vector<std::string> folders_to_prune(const std::vector<std::string>& removed,
                                          std::string_view programs) {
  const std::string startup = startup_folder(programs);
  std::vector<std::string> folders;
  for (const std::string& file : removed) {
    for (auto folder = parent_path(file); folder && lies_within(*folder, programs) &&
                                          !same_path(*folder, programs) && !same_path(*folder, startup);
         folder = parent_path(*folder)) {
      const bool seen = std::any_of(folders.begin(), folders.end(),
                                    [&](const std::string& known) { return same_path(known, *folder); });
      if (!seen) folders.push_back(*folder);
    }
  }
  // A folder's path is longer than its parent's, so the longest go first.
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    const std::string first = comparable_path(a);
    const std::string second = comparable_path(b);
    return first.size() != second.size() ? first.size() > second.size() : first < second;
  });
  return folders;
}

std::string removed_line(std::string_view what) { return "removed " + display_text(what); }

std::string registry_item(std::string_view key, std::optional<std::string_view> value) {
  std::string item = "HKCU\\" + std::string(key);
  if (value) item += "\\" + std::string(*value);
  return item;
}

}  // namespace koravane
