#include "removal/root_clearing.h"

#include "platform/path_text.h"

namespace koravane {

std::optional<std::string> entry_holding(std::string_view root, std::string_view path) {
  std::string base = comparable_path(root);
  const std::string inner = comparable_path(path);
  if (!base.ends_with('\\')) base += '\\';  // a drive or share root keeps its own separator
  if (inner.size() <= base.size() || !inner.starts_with(base)) return std::nullopt;
  const std::string_view below = std::string_view(inner).substr(base.size());
  return std::string(below.substr(0, below.find('\\')));
}

std::optional<std::string> entry_holding(const PathForms& root, const PathForms& path) {
  if (std::optional<std::string> entry = entry_holding(root.final, path.final)) return entry;
  return entry_holding(root.spelled, path.spelled);
}

}  // namespace koravane
