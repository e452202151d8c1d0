#include "run/root/root_safety.h"

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

// The final form of folder, depth components below a folder whose final form is known_final,
// when nothing on the way down may name another place than its spelling.
std::optional<std::string> final_below(const std::string& folder, size_t depth, const std::string& known_final,
                                       const FolderResolver& resolver) {
  std::vector<std::string> names;  // from folder up
  std::optional<std::string> current = folder;
  for (; depth > 0 && current; --depth) {
    std::string name(path_file_name(*current));
    if (name.empty() || name == "." || name == ".." || name.find('~') != std::string::npos) return std::nullopt;
    const std::optional<EntryKind> kind = resolver.attributes(*current);
    if (!kind || is_link(*kind)) return std::nullopt;
    names.push_back(std::move(name));
    current = parent_path(*current);
  }
  if (!current) return std::nullopt;
  std::string final = known_final;
  for (auto name = names.rbegin(); name != names.rend(); ++name) final = join_path(final, *name);
  return final;
}

// How many components inner (comparable text) lies below outer, which holds it.
size_t depth_below(std::string_view inner, std::string_view outer) {
  std::string_view rest = inner.substr(outer.size());
  if (rest.starts_with('\\')) rest.remove_prefix(1);
  return 1 + static_cast<size_t>(std::count(rest.begin(), rest.end(), '\\'));
}

}  // namespace

std::vector<PathForms> resolve_folders(const std::vector<std::string>& folders, const FolderResolver& resolver) {
  struct Folder {
    std::string spelled;
    std::string text;  // made comparable once: a hundred folders meet each other
    std::optional<size_t> above;  // the nearest other folder above it, by text
    std::optional<std::string> final;
  };
  std::vector<Folder> set;
  for (const std::string& folder : folders) {
    std::string text = comparable_path(folder);
    const bool seen = std::any_of(set.begin(), set.end(), [&](const Folder& known) { return known.text == text; });
    if (!folder.empty() && !seen) set.push_back({folder, std::move(text), std::nullopt, std::nullopt});
  }
  for (Folder& folder : set) {
    for (size_t j = 0; j < set.size(); ++j) {
      const std::string& other = set[j].text;
      if (other != folder.text && lies_within_comparable(folder.text, other) &&
          (!folder.above || other.size() > set[*folder.above].text.size())) {
        folder.above = j;
      }
    }
  }
  // Round by round, each folder whose nearest folder above is resolved, or that has none.
  for (size_t left = set.size(); left > 0;) {
    for (Folder& folder : set) {
      const Folder* parent = folder.above ? &set[*folder.above] : nullptr;
      if (folder.final || (parent && !parent->final)) continue;
      if (parent) folder.final = final_below(folder.spelled, depth_below(folder.text, parent->text), *parent->final, resolver);
      if (!folder.final) folder.final = resolver.final_path(folder.spelled).value_or(folder.spelled);
      --left;
    }
  }
  std::vector<PathForms> resolved;
  for (Folder& folder : set) resolved.push_back({std::move(folder.spelled), std::move(*folder.final)});
  return resolved;
}

std::string refusal_line(std::string_view install_root, RefusalReason reason) {
  return "refused root=" + display_text(install_root) + ": " +
         std::string(refusal_reason_text(reason));
}

NoticeMessage refusal_notice(std::string_view install_root, RefusalReason reason) {
  if (reason == RefusalReason::protected_folder) {
    return {"Папку «", display_text(install_root),
            "» нельзя удалить целиком: в ней лежат и другие ваши файлы. Ничего не удалено. "
            "Храните лаунчер в отдельной папке."};
  }
  return {"Папка «", display_text(install_root), "» не похожа на папку установки KoraVane. Ничего не удалено."};
}

}  // namespace koravane
