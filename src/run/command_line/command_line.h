#pragma once
// The process command line: splitting it into arguments and parsing the launch options.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

struct SplitCommandLine {
  std::u16string program;
  std::vector<std::u16string> arguments;
};

// Splits a Windows command line: the program name by its own rule (quotes toggle, backslashes
// are literal), then the arguments by the rules Windows programs use since 2008.
SplitCommandLine split_command_line(std::u16string_view command_line);

inline constexpr std::string_view kDefaultApiBase = "https://api.koravane.net";
inline constexpr std::string_view kDefaultCurrentVersion = "0.0.0";
inline constexpr std::string_view kDefaultProcessStart = "KoraVane.exe";

// The command-line vocabulary shared with the launcher's updater. Only quiet and target change
// what the uninstaller does; the other fields are accepted so updater command lines parse alike.
struct LaunchOptions {
  std::string api_base{kDefaultApiBase};
  std::string current_version{kDefaultCurrentVersion};
  std::string target;
  std::string apply_pending;
  std::string update_job;
  std::string process_start;
  std::vector<std::string> process_start_arguments;
  uint32_t wait_pid = 0;
  bool headless = false;
  bool quiet = false;
};

// Arguments are UTF-8 text, the program name already dropped.
LaunchOptions parse_launch_options(const std::vector<std::string>& arguments);

// Decimal digits with an optional leading "+" that fit in 32 bits unsigned; anything else is 0.
uint32_t parse_wait_pid(std::string_view text);
// White_Space trimmed off both ends, then every outer '"', then every outer '\''.
std::string clean_target(std::string_view text);
// Non-empty pieces between runs of White_Space; quotes mean nothing here.
std::vector<std::string> split_at_white_space(std::string_view text);

// Splits a full command line (GetCommandLineW) and parses it. Each unpaired surrogate in an
// argument becomes U+FFFD, so no command line is refused.
LaunchOptions launch_options_from_command_line(std::u16string_view command_line);

}  // namespace koravane
