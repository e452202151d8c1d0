#include "run/command_line/command_line.h"

namespace koravane {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

// The program name runs to the first blank outside quotes; quotes toggle and are dropped.
size_t split_program(std::u16string_view line, std::u16string& program) {
  bool quoted = false;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == u'"') {
      quoted = !quoted;
    } else if (!quoted && is_blank(c)) {
      break;
    } else {
      program += c;
    }
  }
  while (i < line.size() && is_blank(line[i])) ++i;
  return i;
}

}  // namespace

SplitCommandLine split_command_line(std::u16string_view line) {
  SplitCommandLine out;
  size_t i = split_program(line, out.program);
  std::u16string current;
  bool in_argument = false;
  bool quoted = false;
  while (i < line.size()) {
    const char16_t c = line[i];
    if (!quoted && is_blank(c)) {
      if (in_argument) out.arguments.push_back(std::move(current));
      current.clear();
      in_argument = false;
      ++i;
      continue;
    }
    in_argument = true;
    if (c == u'\\') {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == u'"') {
        current.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          current += u'"';
          ++i;
        }
        // An even count leaves the quote to toggle quoting on the next round.
      } else {
        current.append(backslashes, u'\\');
      }
      continue;
    }
    if (c == u'"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
        current += u'"';  // "" inside quotes: a literal quote, quoting goes on
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    current += c;
    ++i;
  }
  if (in_argument) out.arguments.push_back(std::move(current));
  return out;
}

}  // namespace koravane
