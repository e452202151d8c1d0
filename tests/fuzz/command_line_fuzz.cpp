// libFuzzer target for the command-line code.
// First byte even: the rest is an argument list (program name, then arguments, separated by NUL
// bytes); the line build_command_line writes must split back into exactly that list.
// First byte odd: the rest is a UTF-16 command line for the splitter and the option parser,
// which must neither crash nor trip a sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/text/os_text.h"
#include "run/command_line/command_line.h"

namespace {

using namespace koravane;

std::vector<std::string> pieces(const uint8_t* data, size_t size) {
  std::vector<std::string> out(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      out.emplace_back();
    } else {
      out.back() += static_cast<char>(data[i]);
    }
  }
  return out;
}

void check_round_trip(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments = pieces(data, size);
  std::string program = arguments.front();
  arguments.erase(arguments.begin());
  std::erase(program, '"');  // written between quotes unescaped: it cannot hold one itself
  auto line = build_command_line(program, arguments);
  if (!line.ok()) std::abort();
  const SplitCommandLine split = split_command_line(line.value());
  if (split.program != utf16_from_wtf8(program)) std::abort();
  if (split.arguments.size() != arguments.size()) std::abort();
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (split.arguments[i] != utf16_from_wtf8(arguments[i])) std::abort();
  }
}

void parse_any_line(const uint8_t* data, size_t size) {
  std::u16string line(size / 2, u'\0');
  for (size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const SplitCommandLine split = split_command_line(line);
  std::vector<std::string> arguments;
  for (const std::u16string& argument : split.arguments) {
    arguments.push_back(display_text_from_utf16(argument));
  }
  (void)parse_launch_options(arguments);
  (void)launch_options_from_command_line(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    check_round_trip(data + 1, size - 1);
  } else {
    parse_any_line(data + 1, size - 1);
  }
  return 0;
}
