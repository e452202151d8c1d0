#include <gtest/gtest.h>

#include "platform/context/run_log.h"

namespace koravane {
namespace {

TEST(ErrorText, TrailingWhiteSpaceOfTheSystemMessageIsDropped) {
  EXPECT_EQ(format_os_error("Отказано в доступе.\r\n", 5), "Отказано в доступе. (os error 5)");
  EXPECT_EQ(format_os_error("  lead stays\t \u00A0\u3000", 2), "  lead stays (os error 2)");
  EXPECT_EQ(format_os_error("", 0), " (os error 0)");
  EXPECT_EQ(format_message_failure(4294967295u, 317),
            "OS Error 4294967295 (FormatMessageW() returned error 317)");
}

}  // namespace
}  // namespace koravane
