#include "platform/files/path_identity.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {

bool lies_within(const PathForms& path, const PathForms& area) {
  for (const std::string* inner : {&path.spelled, &path.final}) {
    for (const std::string* outer : {&area.spelled, &area.final}) {
      if (lies_within(*inner, *outer)) return true;
    }
  }
  return false;
}

bool lies_within_any(const PathForms& path, const std::vector<PathForms>& areas) {
  return std::any_of(areas.begin(), areas.end(), [&](const PathForms& area) { return lies_within(path, area); });
}

bool forms_differ(const PathForms& forms) { return !same_path(forms.spelled, forms.final); }

std::string local_share_as_drive(std::string_view path, const std::vector<std::string>& local_names) {
  const std::string plain = without_namespace_prefix(path);
  if (plain.size() < 2 || !is_path_separator(plain[0]) || !is_path_separator(plain[1])) return std::string(path);
  const size_t server_end = plain.find_first_of("\\/", 2);
  if (server_end == std::string::npos) return std::string(path);
  const std::string_view server = std::string_view(plain).substr(2, server_end - 2);
  const std::string_view share = std::string_view(plain).substr(server_end + 1, 2);
  const bool drive_share = share.size() == 2 && share[1] == '$' && (share[0] | 0x20) >= 'a' &&
                           (share[0] | 0x20) <= 'z' &&
                           (plain.size() == server_end + 3 || is_path_separator(plain[server_end + 3]));
  const bool local = same_ignoring_case(server, "localhost") || server == "127.0.0.1" ||
                     std::any_of(local_names.begin(), local_names.end(),
                                 [&](const std::string& name) { return same_ignoring_case(server, name); });
  if (!drive_share || !local) return std::string(path);
  std::string drive{share[0], ':', '\\'};
  if (plain.size() > server_end + 4) drive += plain.substr(server_end + 4);
  return drive;
}

}  // namespace koravane
