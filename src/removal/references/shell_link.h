#pragma once
// Where a shortcut (a .lnk file in the shell-link format) points, read from its bytes as stored.
// The shell's own resolve step is never used: it may search disks and show a window.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

// Turns text in the system's ANSI code page into lossless system text: older links hold some of
// their paths so.
using AnsiDecoder = std::function<std::string(std::string_view)>;

struct ShortcutTarget {
  std::string path;            // lossless system text
  bool has_variables = false;  // the link's environment form: %NAME% still to be expanded
};

// The target of the shell link in bytes: its environment form when the link says it has one,
// else the file-system path of its item list, else the path of its link information. Nothing
// when the bytes are no shell link, are cut short or inconsistent anywhere, or name no
// file-system path.
std::optional<ShortcutTarget> shortcut_target(std::string_view bytes, const AnsiDecoder& ansi);

}  // namespace koravane
