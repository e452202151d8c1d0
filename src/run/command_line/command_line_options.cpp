#include <array>
#include <optional>

#include "platform/text/os_text.h"
#include "run/command_line/command_line.h"

namespace koravane {
namespace {

// How a row takes its value: none, the rest of the same argument after "=", or the next argument.
enum class ValueFrom { none, rest, next };

// value is empty for rows without one and for a "next" row at the end of the arguments.
using Apply = void (*)(LaunchOptions&, std::optional<std::string_view> value);

struct OptionRow {
  std::string_view text;
  ValueFrom from;
  Apply apply;
};

std::string text_or(std::optional<std::string_view> value, std::string_view missing) {
  return std::string(value.value_or(missing));
}

// Compared in this order; the first row that matches applies.
constexpr std::array<OptionRow, 19> kOptionRows = {{
    {"--headless", ValueFrom::none, [](LaunchOptions& o, auto) { o.headless = true; }},
    {"--quiet", ValueFrom::none, [](LaunchOptions& o, auto) { o.quiet = true; }},
    {"/S", ValueFrom::none, [](LaunchOptions& o, auto) { o.quiet = true; }},
    {"--apply-pending=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.apply_pending = text_or(v, ""); }},
    {"--apply-pending", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.apply_pending = text_or(v, ""); }},
    {"--update-job=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.update_job = text_or(v, ""); }},
    {"--update-job", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.update_job = text_or(v, ""); }},
    {"--wait-pid=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.wait_pid = parse_wait_pid(v.value_or("")); }},
    {"--wait-pid", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.wait_pid = parse_wait_pid(v.value_or("")); }},
    {"--target=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.target = clean_target(v.value_or("")); }},
    {"--target", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.target = clean_target(v.value_or("")); }},
    {"--current=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.current_version = text_or(v, kDefaultCurrentVersion); }},
    {"--current", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.current_version = text_or(v, kDefaultCurrentVersion); }},
    {"--api=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.api_base = text_or(v, kDefaultApiBase); }},
    {"--api", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.api_base = text_or(v, kDefaultApiBase); }},
    {"--processStart", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.process_start = text_or(v, kDefaultProcessStart); }},
    {"--processStart=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.process_start = text_or(v, kDefaultProcessStart); }},
    {"--process-start-args=", ValueFrom::rest,
     [](LaunchOptions& o, auto v) { o.process_start_arguments = split_at_white_space(v.value_or("")); }},
    {"--process-start-args", ValueFrom::next,
     [](LaunchOptions& o, auto v) { o.process_start_arguments = split_at_white_space(v.value_or("")); }},
}};

bool matches(const OptionRow& row, std::string_view argument) {
  return row.from == ValueFrom::rest ? argument.starts_with(row.text) : argument == row.text;
}

std::string_view strip_outer(std::string_view text, char c) {
  while (!text.empty() && text.front() == c) text.remove_prefix(1);
  while (!text.empty() && text.back() == c) text.remove_suffix(1);
  return text;
}

}  // namespace

uint32_t parse_wait_pid(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return 0;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<uint32_t>(value);
}

std::string clean_target(std::string_view text) {
  const std::string trimmed = trim_white_space(text);
  return std::string(strip_outer(strip_outer(trimmed, '"'), '\''));
}

std::vector<std::string> split_at_white_space(std::string_view text) {
  std::vector<std::string> pieces;
  std::u32string piece;
  for (char32_t c : code_points(text)) {
    if (!is_unicode_white_space(c)) {
      piece += c;
    } else if (!piece.empty()) {
      pieces.push_back(utf8_from_code_points(piece));
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(utf8_from_code_points(piece));
  return pieces;
}

LaunchOptions parse_launch_options(const std::vector<std::string>& arguments) {
  LaunchOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    for (const OptionRow& row : kOptionRows) {
      if (!matches(row, argument)) continue;
      std::optional<std::string_view> value;
      if (row.from == ValueFrom::rest) {
        value = argument.substr(row.text.size());
      } else if (row.from == ValueFrom::next && i + 1 < arguments.size()) {
        value = arguments[++i];  // taken whatever it looks like, even "/S"
      }
      row.apply(options, value);
      break;
    }
  }
  return options;
}

LaunchOptions launch_options_from_command_line(std::u16string_view command_line) {
  const SplitCommandLine split = split_command_line(command_line);
  std::vector<std::string> arguments;
  arguments.reserve(split.arguments.size());
  for (const std::u16string& argument : split.arguments) {
    arguments.push_back(display_text_from_utf16(argument));
  }
  return parse_launch_options(arguments);
}

}  // namespace koravane
