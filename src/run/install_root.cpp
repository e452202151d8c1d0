#include "run/install_root.h"

#include <optional>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/steps/layout.h"
#include "run/run_plan_text.h"

namespace koravane {
namespace {

bool has_app_entry(const std::string& folder, const RootProbe& probe) {
  bool found = false;
  // A listing that fails, at its start or part-way, only means no marker was found: start-up
  // reports nothing and goes on to its next fallback.
  (void)probe.list_entries(folder, [&](std::string_view name) {
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

bool run_log_names_root(std::string_view log_text, const PathForms& folder) {
  const std::string prefixes[] = {start_line(true, ""), start_line(false, ""), way_back_line("")};
  while (!log_text.empty()) {
    const size_t end = log_text.find('\n');
    std::string_view line = log_text.substr(0, end);
    log_text.remove_prefix(end == std::string_view::npos ? log_text.size() : end + 1);
    for (const std::string& prefix : prefixes) {
      if (!line.starts_with(prefix)) continue;
      // A root logged relative to some earlier current directory never names an absolute folder.
      const std::string_view logged = line.substr(prefix.size());
      if (same_path(logged, folder.spelled) || same_path(logged, folder.final)) return true;
    }
  }
  return false;
}

LauncherEvidence launcher_evidence(std::string_view folder, const std::optional<PathForms>& forms,
                                   const RootProbe& probe) {
  if (has_root_markers(folder, probe)) return LauncherEvidence::markers;
  if (!forms) return LauncherEvidence::none;
  const std::string log = join_path(join_path(folder, kRunLogFolder), kRunLogFile);
  const std::optional<std::string> text = probe.read_file_tail(log, kRunLogEvidenceBytes);
  return text && run_log_names_root(*text, *forms) ? LauncherEvidence::run_log : LauncherEvidence::none;
}

InstallRoot find_install_root(const LaunchOptions& options, const OsResult<std::string>& executable,
                              const RootProbe& probe) {
  // The folder chosen, made absolute and resolved once, with what says it is a launcher's.
  const auto root_at = [&](std::string path, RootSource source) {
    const std::optional<std::string> absolute = probe.absolute_path(path);
    InstallRoot root{std::move(path), {}, {}, source, LauncherEvidence::none};
    root.absolute = absolute.value_or(root.path);
    root.final = probe.final_path(root.absolute).value_or(root.absolute);
    const std::optional<PathForms> forms =
        absolute ? std::optional(PathForms{root.absolute, root.final}) : std::nullopt;
    root.evidence = launcher_evidence(root.path, forms, probe);
    return root;
  };
  if (executable) {
    if (std::optional<std::string> folder = parent_path(executable.value())) {
      InstallRoot root = root_at(std::move(*folder), RootSource::executable_folder);
      if (root.evidence != LauncherEvidence::none) return root;
    }
  }
  if (std::optional<std::string> folder = root_from_target(options.target)) {
    return root_at(std::move(*folder), RootSource::target);
  }
  if (OsResult<std::string> cwd = probe.current_directory()) {
    return root_at(std::move(cwd).value(), RootSource::current_directory);
  }
  return root_at(".", RootSource::dot);
}

}  // namespace koravane
