#include "run/root_safety.h"

#include "platform/os_text.h"
#include "platform/path_text.h"

namespace koravane {
namespace {

// Simple case folding for the scripts a Windows path is likely to use: Latin (ASCII and
// Latin-1), Greek and Cyrillic. Other letters compare as written.
char32_t fold_case(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool is_inside_or_same(std::string_view inner, std::string_view outer) {
  if (inner == outer) return true;
  if (!inner.starts_with(outer)) return false;
  return outer.ends_with('\\') || inner[outer.size()] == '\\';
}

}  // namespace

std::string_view refusal_reason_text(RefusalReason reason) {
  return reason == RefusalReason::no_launcher_files ? "no launcher files" : "protected folder";
}

std::string comparable_path(std::string_view path) {
  std::string text = display_text(path);
  if (text.starts_with("\\\\?\\UNC\\")) {
    text = "\\\\" + text.substr(8);
  } else if (text.starts_with("\\\\?\\") || text.starts_with("\\??\\")) {
    text = text.substr(4);
  }
  std::u32string points;
  for (char32_t c : code_points(text)) {
    if (c == U'/') c = U'\\';
    // Keep the two leading separators of a UNC path; collapse repeats elsewhere.
    if (c == U'\\' && !points.empty() && points.back() == U'\\' && points.size() > 1) continue;
    points += fold_case(c);
  }
  std::string folded = utf8_from_code_points(points);
  while (folded.size() > path_root_length(folded) && folded.ends_with('\\')) folded.pop_back();
  return folded;
}

bool is_volume_root(std::string_view comparable) {
  return !comparable.empty() && !parent_path(comparable) &&
         path_root_length(comparable) >= 2;
}

std::optional<RefusalReason> refusal_reason(std::string_view full_root, RootSource source,
                                            bool has_markers,
                                            const std::vector<std::string>& protected_folders) {
  if (source != RootSource::executable_folder && !has_markers) {
    return RefusalReason::no_launcher_files;
  }
  const std::string root = comparable_path(full_root);
  if (root.empty() || is_volume_root(root)) return RefusalReason::protected_folder;
  for (const std::string& folder : protected_folders) {
    const std::string guarded = comparable_path(folder);
    if (!guarded.empty() && is_inside_or_same(guarded, root)) return RefusalReason::protected_folder;
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
