#include "removal/running_programs.h"

#include <algorithm>

#include "platform/os_text.h"
#include "platform/path_text.h"
#include "removal/layout.h"

namespace koravane {

std::vector<PathForms> removal_areas(RemovalMode mode, const PathForms& root,
                                     const std::vector<std::string>& top_level_names) {
  if (mode == RemovalMode::full) return {root};
  std::vector<PathForms> areas;
  for (const std::string& name : top_level_names) {
    if (is_launcher_entry(display_text(name))) {
      areas.push_back({join_path(root.spelled, name), join_path(root.final, name)});
    }
  }
  return areas;
}

namespace {

bool is_uninstaller_copy(const ProgramImage& image, const UninstallerCopies& copies) {
  const auto same_file = [&](const PathForms& copy) {
    for (const std::string* form : {&copy.spelled, &copy.final}) {
      if (same_path(image.path.spelled, *form) || same_path(image.path.final, *form)) return true;
    }
    return false;
  };
  return std::any_of(copies.paths.begin(), copies.paths.end(), same_file) ||
         (image.identity && std::find(copies.identities.begin(), copies.identities.end(), *image.identity) !=
                                copies.identities.end());
}

}  // namespace

bool must_close(const ProgramImage& image, const std::vector<PathForms>& areas,
                const UninstallerCopies& copies) {
  return !is_uninstaller_copy(image, copies) && lies_within_any(image.path, areas);
}

std::string closed_line(std::string_view image) { return "closed " + display_text(image); }

std::string ended_line(std::string_view image) { return "ended " + display_text(image); }

}  // namespace koravane
