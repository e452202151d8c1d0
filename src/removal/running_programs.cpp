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

bool is_uninstaller_copy(std::string_view image, std::string_view own_executable,
                         std::string_view absolute_root) {
  return same_path(image, own_executable) || same_path(image, join_path(absolute_root, "Uninstall.exe"));
}

bool must_close(std::string_view image, const std::vector<std::string>& areas,
                std::string_view own_executable, std::string_view absolute_root) {
  if (is_uninstaller_copy(image, own_executable, absolute_root)) return false;
  return std::any_of(areas.begin(), areas.end(),
                     [&](const std::string& area) { return lies_within(image, area); });
}

std::optional<size_t> launcher_image_index(std::string_view name) {
  for (size_t i = 0; i < kLauncherImages.size(); ++i) {
    if (same_ignoring_case(name, kLauncherImages[i])) return i;
  }
  return std::nullopt;
}

bool may_be_stopped(const ProcessEntry& process, std::string_view own_executable,
                    std::string_view absolute_root) {
  if (launcher_image_index(process.name)) return true;
  const std::vector<std::string> whole_root{std::string(absolute_root)};
  return process.image && must_close(*process.image, whole_root, own_executable, absolute_root);
}

namespace {

bool is_copy(const ProcessEntry& process, const StopScope& scope) {
  return process.image && is_uninstaller_copy(*process.image, scope.own_executable, scope.absolute_root);
}

}  // namespace

std::vector<StopTarget> stop_targets(const std::vector<ProcessEntry>& processes, uint32_t own_id,
                                     const StopScope& scope) {
  std::vector<StopTarget> all(processes.size());
  std::vector<bool> chosen(processes.size(), false);
  for (size_t i = 0; i < processes.size(); ++i) {
    const ProcessEntry& process = processes[i];
    all[i].entry = i;
    if (process.id == own_id || is_copy(process, scope)) continue;
    all[i].image_line = launcher_image_index(process.name);
    all[i].must_go = process.image && must_close(*process.image, scope.areas, scope.own_executable,
                                                 scope.absolute_root);
    chosen[i] = all[i].image_line || all[i].must_go;
  }
  // The tree kill of full removal also ends what the launcher started: it is asked first too.
  if (scope.mode == RemovalMode::full) {
    for (size_t line = 0; line < kLauncherImages.size(); ++line) {
      std::vector<size_t> named;
      for (size_t i = 0; i < processes.size(); ++i) {
        if (all[i].image_line == line && processes[i].id != own_id) named.push_back(i);
      }
      for (size_t i : descendants_of(processes, named)) {
        if (processes[i].id == own_id || is_copy(processes[i], scope) || all[i].tree_line) continue;
        all[i].tree_line = line;
        chosen[i] = true;
      }
    }
  }
  std::vector<StopTarget> targets;
  for (size_t i = 0; i < processes.size(); ++i) {
    if (chosen[i]) targets.push_back(all[i]);
  }
  return targets;
}

std::optional<std::string> gone_line(std::string_view image, bool asked, bool gone_before_lines,
                                     bool reached_by_a_line_that_ran, bool must_go) {
  if (reached_by_a_line_that_ran && !(asked && gone_before_lines)) {
    if (!asked) return std::nullopt;
    return ended_line(image);
  }
  if (asked || must_go) return closed_line(image);
  return std::nullopt;
}

std::string closed_line(std::string_view image) { return "closed " + display_text(image); }

std::string ended_line(std::string_view image) { return "ended " + display_text(image); }

}  // namespace koravane
