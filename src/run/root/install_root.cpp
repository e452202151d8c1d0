#include "run/root/install_root.h"

#include <algorithm>
#include <optional>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "removal/steps/layout.h"
#include "run/plan/run_plan_text.h"

namespace koravane {
namespace {

constexpr uint32_t kAttributeDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY

// Whether an entry of folder passes the test, by its name as display text and whether its listing
// says it is a folder; a listing that fails, at its start or part-way, only means none was found:
// start-up reports nothing and goes on to its next fallback.
bool has_entry(const std::string& folder, const RootProbe& probe, bool (*passes)(std::string_view, bool)) {
  bool found = false;
  (void)probe.list_entries(folder, [&](const ListedEntry& entry) {
    found = passes(display_text(entry.name), (entry.attributes & kAttributeDirectory) != 0);
    return found;
  });
  return found;
}

template <class Names>
bool any_exists(std::string_view folder, const Names& names, const RootProbe& probe) {
  return std::any_of(std::begin(names), std::end(names),
                     [&](std::string_view name) { return probe.exists(join_path(folder, name)); });
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

// What follows one of prefixes on a line, if the line begins with one.
std::optional<std::string_view> after_any(std::string_view line, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (line.starts_with(prefix)) return line.substr(prefix.size());
  }
  return std::nullopt;
}

}  // namespace

bool has_root_markers(std::string_view folder, const RootProbe& probe) {
  constexpr std::string_view kMarkers[] = {"current.json", "app-current"};
  return any_exists(folder, kMarkers, probe) ||
         has_entry(std::string(folder), probe, [](std::string_view name, bool) { return begins_with_app_prefix(name); });
}

bool has_launcher_entry(std::string_view folder, const RootProbe& probe) {
  return has_entry(std::string(folder), probe, is_launcher_evidence);
}

bool names_folder(std::string_view other, const FolderPlace& folder, const RootProbe& probe) {
  // A root logged relative to some earlier current directory never names an absolute folder.
  if (!is_fully_qualified(other)) return false;
  if (same_path(other, folder.forms.spelled) || same_path(other, folder.forms.final)) return true;
  if (!folder.identity) return false;
  // Another spelling of the same folder (an 8.3 name, another drive mapping) is the same folder.
  const std::optional<FileIdentity> named = probe.identity(std::string(other));
  return named && *named == *folder.identity;
}

std::vector<std::string> logged_roots(std::string_view log_text) {
  const std::vector<std::string> start_prefixes = {start_line(true, ""), start_line(false, "")};
  const std::vector<std::string> kept_prefixes = {way_back_line("")};
  std::vector<std::string> roots;
  const auto add = [&](std::string_view root) {
    const bool known = std::any_of(roots.begin(), roots.end(), [&](const std::string& seen) { return same_path(seen, root); });
    if (!known) roots.emplace_back(root);
  };
  while (!log_text.empty()) {
    const size_t end = log_text.find('\n');
    const std::string_view line = log_text.substr(0, end);
    log_text.remove_prefix(end == std::string_view::npos ? log_text.size() : end + 1);
    if (const std::optional<std::string_view> root = after_any(line, start_prefixes)) {
      add(*root);
    } else if (const std::optional<std::string_view> kept = after_any(line, kept_prefixes)) {
      for (std::string_view root : kept_line_roots(*kept)) add(root);
    }
  }
  return roots;
}

bool run_log_names_root(std::string_view log_text, const FolderPlace& folder, const RootProbe& probe) {
  const std::vector<std::string> roots = logged_roots(log_text);
  return std::any_of(roots.begin(), roots.end(),
                     [&](const std::string& root) { return names_folder(root, folder, probe); });
}

LauncherEvidence launcher_evidence(std::string_view folder, const std::optional<PathForms>& forms,
                                   const RootProbe& probe, EntryRule rule) {
  const bool entries = rule == EntryRule::markers ? has_root_markers(folder, probe) : has_launcher_entry(folder, probe);
  if (entries) return LauncherEvidence::markers;
  if (rule != EntryRule::markers || !forms) return LauncherEvidence::none;
  const FolderPlace place{*forms, probe.identity(forms->spelled)};
  const std::string log = join_path(join_path(folder, kRunLogFolder), kRunLogFile);
  const std::optional<std::string> text = probe.read_file_tail(log, kRunLogEvidenceBytes);
  if (text && run_log_names_root(*text, place, probe)) return LauncherEvidence::run_log;
  const std::optional<std::string> registered = probe.registered_root();
  if (registered && names_folder(*registered, place, probe)) return LauncherEvidence::registration;
  return LauncherEvidence::none;
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
    const EntryRule rule = source == RootSource::executable_folder ? EntryRule::markers : EntryRule::launcher_entries;
    root.evidence = launcher_evidence(root.path, forms, probe, rule);
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
