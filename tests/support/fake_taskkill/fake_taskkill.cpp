// Stand-in for the system's taskkill.exe:
//   taskkill [/F] (/IM image | /PID id | /FI "filter")... [/T]
// Selects the processes named by /IM or /PID (every process when only filters are given), keeps
// those that pass every /FI filter ("IMAGENAME eq|ne name", name may end in "*"; "PID eq|ne
// number"), never itself, with /T also their descendants, and ends them. Exit 0 when something
// was ended, 128 when nothing matched, 1 on a usage error or an unknown filter.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/basics/handles_win.h"

namespace {

struct Entry {
  DWORD pid;
  DWORD parent;
  std::wstring image;
};

std::vector<Entry> list_processes() {
  std::vector<Entry> entries;
  const koravane::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  }
  return entries;
}

struct Filter {
  bool by_image;  // else by process id
  bool equal;     // "eq", else "ne"
  std::wstring value;
};

bool image_matches(const std::wstring& image, const std::wstring& pattern) {
  if (!pattern.empty() && pattern.back() == L'*') {
    const std::wstring prefix = pattern.substr(0, pattern.size() - 1);
    return _wcsnicmp(image.c_str(), prefix.c_str(), prefix.size()) == 0;
  }
  return _wcsicmp(image.c_str(), pattern.c_str()) == 0;
}

// "NAME op value": the value is the rest, spaces and all.
std::optional<Filter> parse_filter(const std::wstring& text) {
  const size_t first = text.find(L' ');
  if (first == std::wstring::npos) return std::nullopt;
  const size_t second = text.find(L' ', first + 1);
  if (second == std::wstring::npos) return std::nullopt;
  const std::wstring name = text.substr(0, first);
  const std::wstring op = text.substr(first + 1, second - first - 1);
  Filter filter{_wcsicmp(name.c_str(), L"IMAGENAME") == 0, _wcsicmp(op.c_str(), L"eq") == 0,
                text.substr(second + 1)};
  if (!filter.by_image && _wcsicmp(name.c_str(), L"PID") != 0) return std::nullopt;
  if (!filter.equal && _wcsicmp(op.c_str(), L"ne") != 0) return std::nullopt;
  return filter;
}

bool passes(const Entry& e, const Filter& filter) {
  const bool match = filter.by_image ? image_matches(e.image, filter.value)
                                     : e.pid == std::wcstoul(filter.value.c_str(), nullptr, 10);
  return match == filter.equal;
}

void add_descendants(const std::vector<Entry>& entries, std::set<DWORD>& chosen) {
  for (bool grew = true; grew;) {
    grew = false;
    for (const Entry& e : entries) {
      if (e.pid == 0 || chosen.count(e.pid) || !chosen.count(e.parent)) continue;
      chosen.insert(e.pid);
      grew = true;
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> images;
  std::set<DWORD> pids;
  std::vector<Filter> filters;
  bool tree = false;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* a = argv[i];
    if (_wcsicmp(a, L"/F") == 0) continue;
    if (_wcsicmp(a, L"/T") == 0) {
      tree = true;
    } else if (_wcsicmp(a, L"/IM") == 0 && i + 1 < argc) {
      images.emplace_back(argv[++i]);
    } else if (_wcsicmp(a, L"/PID") == 0 && i + 1 < argc) {
      pids.insert(static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)));
    } else if (_wcsicmp(a, L"/FI") == 0 && i + 1 < argc) {
      const std::optional<Filter> filter = parse_filter(argv[++i]);
      if (!filter) return 1;
      filters.push_back(*filter);
    } else {
      return 1;
    }
  }
  if (images.empty() && pids.empty() && filters.empty()) return 1;
  const bool everything = images.empty() && pids.empty();
  const std::vector<Entry> entries = list_processes();
  std::set<DWORD> chosen;
  for (const Entry& e : entries) {
    bool selected = everything || pids.count(e.pid) > 0;
    for (const std::wstring& image : images) selected = selected || image_matches(e.image, image);
    for (const Filter& filter : filters) selected = selected && passes(e, filter);
    if (selected) chosen.insert(e.pid);
  }
  if (tree) add_descendants(entries, chosen);
  chosen.erase(GetCurrentProcessId());
  int ended = 0;
  for (const DWORD pid : chosen) {
    const koravane::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (process && TerminateProcess(process.get(), 1)) ++ended;
  }
  return ended > 0 ? 0 : 128;
}
