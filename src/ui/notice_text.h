#pragma once
// What a notice says, and how a path in it is shortened so that the sentences after it still
// show whole in the card.
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

// A notice's message: the text before a path, the path (none: empty), and the text after it; the
// install root when the path may lie below it; briefer forms of the text after it, each for when
// the one before does not fit even beside the path shortened as far as it goes.
struct NoticeMessage {
  std::string before;
  std::string path;
  std::string after;
  std::string root;
  std::vector<std::string> briefer;
};

inline NoticeMessage plain_notice(std::string_view text) { return NoticeMessage{std::string(text), {}, {}}; }

// Ever shorter forms of a path for display, the path itself first: then without its middle
// folders ("…" in their place), keeping the drive or share, the first folder and the last two,
// and, for a path below root, the root's own name (which tells the install); then with the
// longest name kept cut in its middle, step by step, down to a few characters each, the root's
// name and the last name only once every other is as short as it gets. Every form is shorter
// than the one before it.
std::vector<std::string> shortened_paths(std::string_view path, std::string_view root = {});

// The notice's body (prepared as every notice body is) with each form of its path in turn, the
// whole path first, then the same with each briefer text after it; the window shows the first that
// fits its card.
std::vector<std::string> notice_bodies(const NoticeMessage& message);

}  // namespace koravane
