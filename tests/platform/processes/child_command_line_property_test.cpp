#include <gtest/gtest.h>

#include <random>

#include "platform/processes/child_process.h"
#include "platform/text/os_text.h"
#include "run/command_line/command_line.h"

namespace koravane {
namespace {

// Pieces an argument is made of: the characters the quoting rules care about, non-ASCII text
// (two-, three- and four-byte UTF-8, and an unpaired surrogate as the system may hand over).
const std::vector<std::string> kPieces = {"a", "Z", " ", "\t", "\"", "\\", "\\\\", "é", "Я",
                                          "😀", "\xED\xA0\x80", "%", "&", "/", "\r\n"};

std::string random_text(std::mt19937& random, bool allow_quote) {
  std::uniform_int_distribution<size_t> length(0, 12);
  std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
  std::string text;
  for (size_t n = length(random); n > 0; --n) {
    const std::string& p = kPieces[piece(random)];
    if (!allow_quote && p == "\"") continue;
    text += p;
  }
  return text;
}

TEST(CommandLineProperty, SplittingTheBuiltLineGivesBackProgramAndEveryArgument) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<size_t> count(0, 6);
  for (int round = 0; round < 20000; ++round) {
    // The program name is written between quotes unescaped, so it never holds a quote itself.
    const std::string program = random_text(random, false);
    std::vector<std::string> arguments(count(random));
    for (std::string& argument : arguments) argument = random_text(random, true);

    auto line = build_command_line(program, arguments);
    ASSERT_TRUE(line.ok());
    const SplitCommandLine split = split_command_line(line.value());
    ASSERT_EQ(split.program, utf16_from_wtf8(program)) << display_text_from_utf16(line.value());
    ASSERT_EQ(split.arguments.size(), arguments.size()) << display_text_from_utf16(line.value());
    for (size_t i = 0; i < arguments.size(); ++i) {
      ASSERT_EQ(split.arguments[i], utf16_from_wtf8(arguments[i]))
          << "argument " << i << " of " << display_text_from_utf16(line.value());
    }
  }
}

}  // namespace
}  // namespace koravane
