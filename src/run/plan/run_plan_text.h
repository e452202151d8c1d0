#pragma once
// Fixed texts of a run.
#include <string>
#include <string_view>
#include <vector>

#include "platform/context/run_context.h"

#include "removal/steps/removal_steps.h"
#include "ui/notice_text.h"

namespace koravane {

// Fixed in the program; independent of the executable's version resource.
inline constexpr std::string_view kLauncherVersion = "1.5.84";

// The first run-log line of every run; the root is shown as display text.
std::string start_line(bool quiet, std::string_view install_root);

// The lines every run begins with: the start line, then "root is {final}" when the root's spelling
// stands for another place (a link, an 8.3 name); the lines after them keep the spelling.
std::vector<std::string> opening_lines(bool quiet, const InstallRoot& root);

// The line of a run that kept the uninstall registration (and the root's uninstaller) because
// something of the root stayed; like the start line, it names the root for the next run, and
// beside it the final path where that names another place ("… root={root} final={final}").
std::string way_back_line(std::string_view install_root, std::string_view final_root = {});

// The roots that the text after a kept line's "root=" names: the whole text and, where it holds
// " final=", the texts on either side of the last one (a spelling may hold those words itself).
std::vector<std::string_view> kept_line_roots(std::string_view text);

// What the result notice says after a removal of mode: everything went (the game's files kept
// only where a launcher-only removal found any), or what stayed (the first entry that did, and how
// many more), why, and what helps: each reason (held by a program, no access, a link, a path the
// deferred script cannot name, a world the Recycle Bin refused) in its own words; how to finish
// when the removal can be started again (the way back was kept); where the worlds went. root is
// the install root, whose name a shortened path keeps.
NoticeMessage removal_notice(RemovalMode mode, const RemovalOutcome& outcome, std::string_view root = {});

// A run that cannot leave what the stop step would end (the launcher's tree or job) stops
// nothing and removes nothing: the run-log line and the notice that say to close the launcher.
std::string_view stuck_line();
std::string_view stuck_notice();

// A run that finds another removal of its root under way touches nothing: its line (in the
// temporary folder's log) and notice.
std::string_view under_way_line();
std::string_view under_way_notice();

}  // namespace koravane
