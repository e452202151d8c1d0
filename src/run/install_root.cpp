#include "run/install_root.h"

#include <optional>

#include "platform/os_text.h"
#include "platform/path_text.h"
#include "removal/layout.h"

namespace koravane {
namespace {

bool has_app_entry(const std::string& folder, const RootProbe& probe) {
  bool found = false;
  probe.list_entries(folder, [&](std::string_view name) {
    found = begins_with_app_prefix(display_text(name));
    return found;
  });
  return found;
}

// The target names a file directly in the install root or inside one of its "app-" folders.
std::optional<std::string> root_from_target(std::string_view target) {
  if (target.empty()) return std::nullopt;
  std::optional<std::string> folder = parent_path(target);
  if (!folder) return std::nullopt;
  if (begins_with_app_prefix(path_file_name(*folder))) {
    if (std::optional<std::string> above = parent_path(*folder)) return above;
  }
  return folder;
}

}  // namespace

bool has_root_markers(std::string_view folder, const RootProbe& probe) {
  return probe.exists(join_path(folder, "current.json")) ||
         probe.exists(join_path(folder, "app-current")) || has_app_entry(std::string(folder), probe);
}

InstallRoot find_install_root(const LaunchOptions& options, const RootProbe& probe) {
  if (const OsResult<std::string> executable = probe.executable_path()) {
    if (std::optional<std::string> folder = parent_path(executable.value())) {
      if (has_root_markers(*folder, probe)) return {*folder, RootSource::executable_folder};
    }
  }
  if (std::optional<std::string> folder = root_from_target(options.target)) {
    return {*folder, RootSource::target};
  }
  if (OsResult<std::string> cwd = probe.current_directory()) {
    return {std::move(cwd).value(), RootSource::current_directory};
  }
  return {".", RootSource::dot};
}

}  // namespace koravane
