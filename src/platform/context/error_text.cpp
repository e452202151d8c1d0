#include <string>

#include "platform/text/os_text.h"
#include "platform/context/run_log.h"

namespace koravane {
namespace {

// System messages end in CR LF, sometimes after other white space such as a no-break space.
std::string trim_trailing_white_space(std::string_view utf8) {
  std::u32string points = code_points(utf8);
  while (!points.empty() && is_unicode_white_space(points.back())) points.pop_back();
  return utf8_from_code_points(points);
}

}  // namespace

std::string format_os_error(std::string_view system_message, uint32_t code) {
  return trim_trailing_white_space(system_message) + " (os error " + std::to_string(code) + ")";
}

std::string format_message_failure(uint32_t code, uint32_t format_error) {
  return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
         std::to_string(format_error) + ")";
}

std::string fail_line(std::string_view subject, std::string_view error_text) {
  return "fail " + display_text(subject) + ": " + std::string(error_text);
}

}  // namespace koravane
