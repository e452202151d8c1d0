#include "platform/files/env.h"

#include "platform/text/path_text.h"

namespace koravane {

std::optional<std::string> composed_known_folder_path(const KnownFolderDefinition& definition,
                                                      std::string_view profile) {
  if (definition.category == kKnownFolderCategoryVirtual) return std::nullopt;
  std::string_view base;
  if (definition.has_parent) {
    if (!definition.parent_path) return std::nullopt;
    base = *definition.parent_path;
  } else if (definition.category == kKnownFolderCategoryPerUser) {
    base = profile;
  }
  const std::string_view relative = definition.relative_path;
  if (!is_fully_qualified(base) || relative.empty() || path_root_length(relative) > 0) return std::nullopt;
  std::string composed = lexically_normal(join_path(base, relative));
  // ".." in the relative path may climb out of the base.
  if (!lies_within(composed, base) || same_path(composed, base)) return std::nullopt;
  return composed;
}

}  // namespace koravane
