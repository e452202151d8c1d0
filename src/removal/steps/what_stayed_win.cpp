#include <windows.h>

#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/context/run_log.h"
#include "removal/steps/what_stayed.h"

namespace koravane {

std::vector<EntryHolder> programs_holding(std::string_view path) {
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) return {};
  const UniqueRestartManagerSession owned(session);
  const std::wstring wide = to_wide(path);
  LPCWSTR files[] = {wide.c_str()};
  if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) return {};
  std::vector<RM_PROCESS_INFO> found;
  UINT needed = 0;
  DWORD reasons = 0;
  DWORD status = ERROR_MORE_DATA;
  // The list may grow between the two calls; a few rounds settle it.
  for (int round = 0; round < 3 && status == ERROR_MORE_DATA; ++round) {
    found.resize(needed);
    UINT count = static_cast<UINT>(found.size());
    status = RmGetList(session, &needed, &count, found.data(), &reasons);
    if (status == ERROR_SUCCESS) found.resize(count);
  }
  if (status != ERROR_SUCCESS) return {};
  std::vector<EntryHolder> holders;
  for (const RM_PROCESS_INFO& info : found) {
    holders.push_back({from_wide(info.strAppName), info.Process.dwProcessId});
  }
  return holders;
}

void LoggedStayedLines::write(std::string_view line) { log_.append(line); }

std::vector<EntryHolder> LoggedStayedLines::holders_of(std::string_view path) { return programs_holding(path); }

void name_stayed(StayedLines& lines, const StayedEntries& stayed, std::string_view root) {
  for (const StayedEntry& entry : stayed) {
    lines.add(root.empty() ? entry.path : relative_to(root, entry.path), entry.path, os_error_text(entry.error));
  }
}

}  // namespace koravane
