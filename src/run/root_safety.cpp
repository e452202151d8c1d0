#include "run/root_safety.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {

std::string_view refusal_reason_text(RefusalReason reason) {
  return reason == RefusalReason::no_launcher_files ? "no launcher files" : "protected folder";
}

bool is_volume_root(std::string_view comparable) {
  return !comparable.empty() && !parent_path(comparable) &&
         path_root_length(comparable) >= 2;
}

std::optional<RefusalReason> refusal_reason(const InstallRoot& root,
                                            const std::vector<PathForms>& protected_folders) {
  if (root.source != RootSource::executable_folder && root.evidence == LauncherEvidence::none) {
    return RefusalReason::no_launcher_files;
  }
  for (const std::string* form : {&root.absolute, &root.final}) {
    const std::string full_root = comparable_path(*form);
    if (full_root.empty() || is_volume_root(full_root)) return RefusalReason::protected_folder;
  }
  const PathForms forms = root_forms(root);
  for (const PathForms& folder : protected_folders) {
    if (lies_within(folder, forms)) return RefusalReason::protected_folder;
  }
  return std::nullopt;
}

namespace {

constexpr uint32_t kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

// The final form of folder below known, which is resolved, when nothing on the way from known to
// folder may name another place than its spelling.
std::optional<std::string> final_below(const std::string& folder, const PathForms& known,
                                       const FolderResolver& resolver) {
  std::vector<std::string> names;  // from folder up to known
  std::optional<std::string> current = folder;
  while (current && !same_path(*current, known.spelled)) {
    const std::string name(path_file_name(*current));
    if (name.empty() || name == "." || name == ".." || name.find('~') != std::string::npos) return std::nullopt;
    const std::optional<uint32_t> attributes = resolver.attributes(*current);
    if (!attributes || (*attributes & kReparsePoint) != 0) return std::nullopt;
    names.push_back(name);
    current = parent_path(*current);
  }
  if (!current) return std::nullopt;
  std::string final = known.final;
  for (auto name = names.rbegin(); name != names.rend(); ++name) final = join_path(final, *name);
  return final;
}

}  // namespace

std::vector<PathForms> resolve_folders(const std::vector<std::string>& folders, const FolderResolver& resolver) {
  const size_t count = folders.size();
  // The nearest other folder above each, by text.
  std::vector<std::optional<size_t>> above(count);
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; j < count; ++j) {
      if (j == i || same_path(folders[i], folders[j]) || !lies_within(folders[i], folders[j])) continue;
      if (!above[i] || folders[j].size() > folders[*above[i]].size()) above[i] = j;
    }
  }
  // Round by round, each folder whose nearest folder above is resolved (or that has none).
  std::vector<std::optional<std::string>> finals(count);
  for (size_t round = 0; round < count; ++round) {
    for (size_t i = 0; i < count; ++i) {
      const std::optional<size_t> parent = above[i];
      if (finals[i] || (parent && !finals[*parent])) continue;
      std::optional<std::string> final =
          parent ? final_below(folders[i], PathForms{folders[*parent], *finals[*parent]}, resolver) : std::nullopt;
      if (!final) final = resolver.final_path(folders[i]);
      finals[i] = final.value_or(folders[i]);
    }
  }
  std::vector<PathForms> resolved;
  for (size_t i = 0; i < count; ++i) resolved.push_back({folders[i], finals[i].value_or(folders[i])});
  return resolved;
}

std::string refusal_line(std::string_view install_root, RefusalReason reason) {
  return "refused root=" + display_text(install_root) + ": " +
         std::string(refusal_reason_text(reason));
}

std::string refusal_notice(std::string_view install_root) {
  return "Папка «" + display_text(install_root) +
         "» не похожа на папку установки KoraVane. Ничего не удалено.";
}

}  // namespace koravane
