#include "platform/processes/child_process.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

constexpr std::string_view kVerbatimPrefix = "\\\\?\\";

// Under the verbatim prefix the system takes '/' as an ordinary character.
bool ends_in_separator(std::string_view name) {
  const char last = name.back();
  if (name.starts_with(kVerbatimPrefix)) return last == '\\';
  return is_path_separator(last);
}

ChildError launch_failure(LaunchErrorKind kind, std::string_view message) {
  return LaunchError{kind, message};
}

bool has_nul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool has_exe_suffix(std::string_view name) {
  constexpr std::string_view kExe = ".exe";
  if (name.size() < kExe.size()) return false;
  const std::string_view tail = name.substr(name.size() - kExe.size());
  for (size_t i = 0; i < kExe.size(); ++i) {
    if (ascii_lower(tail[i]) != kExe[i]) return false;
  }
  return true;
}

std::optional<std::string> own_folder(const ProgramSearchEnvironment& environment) {
  if (!environment.own_executable_path) return std::nullopt;
  const std::optional<std::string> exe = environment.own_executable_path();
  if (!exe) return std::nullopt;
  return parent_path(*exe);
}

std::optional<std::string> ask(const std::function<std::optional<std::string>()>& query) {
  return query ? query() : std::nullopt;
}

std::optional<std::string> search_directories(std::string_view name,
                                              const ProgramSearchEnvironment& environment) {
  // A name without a full stop is looked for as name.exe; one with a full stop as written.
  const bool add_exe = name.find('.') == std::string_view::npos;
  auto try_directory = [&](const std::string& directory) -> std::optional<std::string> {
    std::string candidate = join_path(directory, name);
    if (add_exe) candidate += ".exe";
    if (environment.exists(candidate)) return candidate;
    return std::nullopt;
  };
  for (const auto& directory : {own_folder(environment), ask(environment.system_directory),
                                ask(environment.windows_directory)}) {
    if (!directory) continue;
    if (auto found = try_directory(*directory)) return found;
  }
  if (const std::optional<std::string> path = ask(environment.path_variable)) {
    for (const std::string& directory : split_search_path(*path)) {
      if (auto found = try_directory(directory)) return found;
    }
  }
  return std::nullopt;
}

// Writes one argument so that the usual argument splitting gives it back unchanged.
void append_argument(std::u16string& line, std::u16string_view argument) {
  const bool enclose = argument.empty() || argument.find_first_of(u" \t") != std::u16string_view::npos;
  if (enclose) line += u'"';
  size_t backslashes = 0;
  for (const char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
    } else {
      if (c == u'"') line.append(backslashes + 1, u'\\');
      backslashes = 0;
    }
    line += c;
  }
  if (enclose) {
    line.append(backslashes, u'\\');  // the closing quote must not be escaped by them
    line += u'"';
  }
}

}  // namespace

std::vector<std::string> split_search_path(std::string_view value) {
  std::vector<std::string> entries;
  std::string current;
  bool quoted = false;
  for (const char c : value) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      if (!current.empty()) entries.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) entries.push_back(std::move(current));
  return entries;
}

ChildResult<std::string> resolve_program(std::string_view program,
                                         const ProgramSearchEnvironment& environment) {
  if (program.empty() || ends_in_separator(program)) {
    return launch_failure(LaunchErrorKind::invalid_input, kNoFileName);
  }
  const bool exe_suffix = has_exe_suffix(program);
  if (program.find_first_of("\\/") != std::string_view::npos) {
    if (exe_suffix) return std::string(program);
    std::string with_exe = std::string(program) + ".exe";
    if (environment.exists(with_exe)) return with_exe;
    return std::string(program);
  }
  if (has_nul(program)) return launch_failure(LaunchErrorKind::invalid_input, kNulByte);
  if (std::optional<std::string> found = search_directories(program, environment)) {
    return std::move(*found);
  }
  return launch_failure(LaunchErrorKind::not_found, kProgramNotFound);
}

ChildResult<std::u16string> build_command_line(std::string_view program,
                                               const std::vector<std::string>& arguments) {
  const auto nul_in_argument = [](const std::string& argument) { return has_nul(argument); };
  if (has_nul(program) || std::any_of(arguments.begin(), arguments.end(), nul_in_argument)) {
    return launch_failure(LaunchErrorKind::invalid_input, kNulByte);
  }
  std::u16string line = u"\"";
  line += utf16_from_wtf8(program);
  line += u'"';
  for (const std::string& argument : arguments) {
    line += u' ';
    append_argument(line, utf16_from_wtf8(argument));
  }
  return line;
}

}  // namespace koravane
