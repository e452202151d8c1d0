#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "removal/entry_removal.h"
#include "removal/layout.h"
#include "removal/removal_steps.h"
#include "platform/run_log.h"

namespace koravane {
namespace {

void handle_entry(std::string_view install_root, const std::wstring& raw_name,
                  std::vector<std::string>& deferred) {
  const std::string raw = from_wide(raw_name);
  const std::string name = display_text(raw);
  if (name == "." || name == ".." || !is_launcher_entry(name)) return;
  const std::string path = join_path(install_root, raw);
  if (is_deferred_entry(name)) {
    deferred.push_back(path);
    return;
  }
  const OsStatus status = remove_entry(path);
  append_run_log(install_root, status ? "removed " + name
                                      : "fail " + name + ": " + os_error_text(status.error().code));
}

}  // namespace

RemovalOutcome run_launcher_only_removal(std::string_view install_root) {
  const std::wstring pattern = to_wide(join_path(install_root, "*"));
  WIN32_FIND_DATAW data{};
  UniqueFindHandle listing(FindFirstFileW(pattern.c_str(), &data));
  if (!listing) {
    append_run_log(install_root, "readdir: " + os_error_text(GetLastError()));
    return {};
  }
  RemovalOutcome outcome;
  do {
    handle_entry(install_root, data.cFileName, outcome.deferred_paths);
  } while (FindNextFileW(listing.get(), &data));  // a failure part-way ends the pass silently
  return outcome;
}

}  // namespace koravane
