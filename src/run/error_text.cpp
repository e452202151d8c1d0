#include <string>

#include "run/run_log.h"

namespace koravane {

std::string format_os_error(std::string_view system_message, uint32_t code) {
  size_t end = system_message.size();
  while (end > 0 && (system_message[end - 1] == ' ' || system_message[end - 1] == '\t' ||
                     system_message[end - 1] == '\r' || system_message[end - 1] == '\n')) {
    --end;
  }
  return std::string(system_message.substr(0, end)) + " (os error " + std::to_string(code) + ")";
}

std::string format_message_failure(uint32_t code, uint32_t format_error) {
  return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
         std::to_string(format_error) + ")";
}

}  // namespace koravane
