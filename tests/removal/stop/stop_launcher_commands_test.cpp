#include <gtest/gtest.h>

#include "platform/text/os_text.h"
#include "removal/stop/stop_launcher_commands.h"

namespace koravane {
namespace {

std::vector<std::string> command_lines(const std::vector<TaskKillLine>& lines) {
  std::vector<std::string> out;
  for (const TaskKillLine& line : lines) {
    const ChildCommand& c = line.command;
    EXPECT_EQ(c.program, "taskkill");
    EXPECT_EQ(c.creation_flags, 0x08000000u);
    EXPECT_FALSE(c.standard_input.has_value());
    EXPECT_EQ(c.standard_output, StdioDisposition::null_device);
    EXPECT_EQ(c.standard_error, StdioDisposition::null_device);
    EXPECT_EQ(c.arguments[2], line.image);
    out.push_back(display_text_from_utf16(build_command_line(c.program, c.arguments).value()));
  }
  return out;
}

// Full removal ends each launcher image with its tree; launcher-only removal the images alone, so
// that a game the launcher started runs on.
TEST(StopLauncherCommands, ThreeWindowlessTaskKillsWithDiscardedOutputInOrder) {
  EXPECT_EQ(command_lines(launcher_stop_commands(RemovalMode::full)),
            (std::vector<std::string>{"\"taskkill\" /F /IM KoraVane.exe /T",
                                      "\"taskkill\" /F /IM \"KoraVane Updater.exe\" /T",
                                      "\"taskkill\" /F /IM KoraVane-Updater.exe /T"}));
  EXPECT_EQ(command_lines(launcher_stop_commands(RemovalMode::launcher_only)),
            (std::vector<std::string>{"\"taskkill\" /F /IM KoraVane.exe",
                                      "\"taskkill\" /F /IM \"KoraVane Updater.exe\"",
                                      "\"taskkill\" /F /IM KoraVane-Updater.exe"}));
}

}  // namespace
}  // namespace koravane
