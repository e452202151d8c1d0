#include "removal/stop/running_programs.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "removal/steps/layout.h"

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

bool is_uninstaller_copy(const FileForms& image, const UninstallerCopies& copies) {
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

bool must_close(const FileForms& image, const std::vector<PathForms>& areas, const UninstallerCopies& copies) {
  return !is_uninstaller_copy(image, copies) && lies_within_any(image.path, areas);
}

std::optional<size_t> launcher_image_index(std::string_view name) {
  for (size_t i = 0; i < kLauncherImages.size(); ++i) {
    if (same_ignoring_case(name, kLauncherImages[i])) return i;
  }
  return std::nullopt;
}

bool is_own_launcher_process(const ProcessEntry& process, const std::vector<PathForms>& areas) {
  return launcher_image_index(process.name) && (!process.image || lies_within_any(process.image->path, areas));
}

bool may_be_stopped(const ProcessEntry& process, const PathForms& root, const UninstallerCopies& copies) {
  if (process.image) return must_close(*process.image, {root}, copies);
  return is_own_launcher_process(process, {root});
}

namespace {

bool is_copy(const ProcessEntry& process, const StopScope& scope) {
  return process.image && is_uninstaller_copy(*process.image, scope.copies);
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
    if (is_own_launcher_process(process, scope.areas)) all[i].image_line = launcher_image_index(process.name);
    all[i].must_go = process.image && must_close(*process.image, scope.areas, scope.copies);
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

std::vector<bool> lines_that_may_run(const std::vector<ProcessEntry>& processes, const StopScope& scope) {
  std::vector<bool> may_run(kLauncherImages.size(), true);
  for (const ProcessEntry& process : processes) {
    const std::optional<size_t> line = launcher_image_index(process.name);
    if (line && !is_own_launcher_process(process, scope.areas)) may_run[*line] = false;
  }
  return may_run;
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
