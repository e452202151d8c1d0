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
  std::vector<std::string> ordered = folders;
  // Each folder after those above it: a parent is resolved before its children need it. (Not a
  // stable sort: its buffer would bring the library's exception handling into the program.)
  std::sort(ordered.begin(), ordered.end(), [](const std::string& a, const std::string& b) {
    const size_t a_size = comparable_path(a).size();
    const size_t b_size = comparable_path(b).size();
    return a_size != b_size ? a_size < b_size : a < b;
  });
  std::vector<PathForms> resolved;
  for (const std::string& folder : ordered) {
    const PathForms* nearest = nullptr;
    for (const PathForms& known : resolved) {
      if (!same_path(known.spelled, folder) && lies_within(folder, known.spelled) &&
          (nearest == nullptr || known.spelled.size() > nearest->spelled.size())) {
        nearest = &known;
      }
    }
    std::optional<std::string> final = nearest ? final_below(folder, *nearest, resolver) : std::nullopt;
    if (!final) final = resolver.final_path(folder);
    resolved.push_back({folder, final.value_or(folder)});
  }
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
