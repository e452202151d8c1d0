#include "run/root_safety.h"

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

std::string refusal_line(std::string_view install_root, RefusalReason reason) {
  return "refused root=" + display_text(install_root) + ": " +
         std::string(refusal_reason_text(reason));
}

std::string refusal_notice(std::string_view install_root) {
  return "Папка «" + display_text(install_root) +
         "» не похожа на папку установки KoraVane. Ничего не удалено.";
}

}  // namespace koravane
