#pragma once
// What a notice says, and how a path in it is shortened so that the sentences after it still
// show whole in the card.
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

// A notice's message: the text before a path, the path (none: empty), and the text after it.
struct NoticeMessage {
  std::string before;
  std::string path;
  std::string after;
};

inline NoticeMessage plain_notice(std::string_view text) { return NoticeMessage{std::string(text), {}, {}}; }

// Ever shorter forms of a path for display, the path itself first: then without its middle
// folders ("…" in their place), keeping the drive or share, the first folder and the last two;
// then with the longest name kept cut in its middle, step by step, down to a few characters
// each. Every form is shorter than the one before it.
std::vector<std::string> shortened_paths(std::string_view path);

// The notice's body (prepared as every notice body is) with each form of its path in turn, the
// whole path first; the window shows the first that fits its card.
std::vector<std::string> notice_bodies(const NoticeMessage& message);

}  // namespace koravane
