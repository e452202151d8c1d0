#include "removal/running_programs.h"

#include <algorithm>

#include "platform/os_text.h"
#include "platform/path_text.h"
#include "removal/layout.h"

namespace koravane {

std::vector<std::string> removal_areas(RemovalMode mode, std::string_view absolute_root,
                                       const std::vector<std::string>& top_level_names) {
  if (mode == RemovalMode::full) return {std::string(absolute_root)};
  std::vector<std::string> areas;
  for (const std::string& name : top_level_names) {
    if (is_launcher_entry(display_text(name))) areas.push_back(join_path(absolute_root, name));
  }
  return areas;
}

bool must_close(std::string_view image, const std::vector<std::string>& areas,
                std::string_view own_executable, std::string_view absolute_root) {
  if (same_path(image, own_executable) || same_path(image, join_path(absolute_root, "Uninstall.exe"))) {
    return false;
  }
  return std::any_of(areas.begin(), areas.end(),
                     [&](const std::string& area) { return lies_within(image, area); });
}

std::string closed_line(std::string_view image) { return "closed " + display_text(image); }

std::string ended_line(std::string_view image) { return "ended " + display_text(image); }

}  // namespace koravane
