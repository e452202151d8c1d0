#include <gtest/gtest.h>

#include "platform/os_text.h"
#include "removal/stop_launcher_commands.h"

namespace koravane {
namespace {

TEST(StopLauncherCommands, ThreeWindowlessTaskKillsWithDiscardedOutputInOrder) {
  const std::vector<ChildCommand> commands = launcher_stop_commands();
  std::vector<std::string> lines;
  for (const ChildCommand& c : commands) {
    EXPECT_EQ(c.program, "taskkill");
    EXPECT_EQ(c.creation_flags, 0x08000000u);
    EXPECT_FALSE(c.standard_input.has_value());
    EXPECT_EQ(c.standard_output, StdioDisposition::null_device);
    EXPECT_EQ(c.standard_error, StdioDisposition::null_device);
    lines.push_back(display_text_from_utf16(build_command_line(c.program, c.arguments).value()));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "\"taskkill\" /F /IM KoraVane.exe /T",
                       "\"taskkill\" /F /IM \"KoraVane Updater.exe\" /T",
                       "\"taskkill\" /F /IM KoraVane-Updater.exe /T"}));
  EXPECT_EQ(commands[1].arguments,
            (std::vector<std::string>{"/F", "/IM", "KoraVane Updater.exe", "/T"}));
}

}  // namespace
}  // namespace koravane
