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

}  // namespace koravane
