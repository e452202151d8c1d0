// Stand-in for the system's taskkill.exe: "taskkill [/F] (/IM image | /PID id)... [/T]".
// Ends every matching process (never itself), with /T also their descendants. Exit 0 when
// something was ended, 128 when nothing matched, 1 on a usage error.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

struct Entry {
  DWORD pid;
  DWORD parent;
  std::wstring image;
};

std::vector<Entry> list_processes() {
  std::vector<Entry> entries;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  }
  CloseHandle(snapshot);
  return entries;
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
    } else {
      return 1;
    }
  }
  if (images.empty() && pids.empty()) return 1;
  const std::vector<Entry> entries = list_processes();
  std::set<DWORD> chosen;
  for (const Entry& e : entries) {
    if (pids.count(e.pid)) chosen.insert(e.pid);
    for (const std::wstring& image : images) {
      if (_wcsicmp(e.image.c_str(), image.c_str()) == 0) chosen.insert(e.pid);
    }
  }
  if (tree) add_descendants(entries, chosen);
  chosen.erase(GetCurrentProcessId());
  int ended = 0;
  for (const DWORD pid : chosen) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!process) continue;
    if (TerminateProcess(process, 1)) ++ended;
    CloseHandle(process);
  }
  return ended > 0 ? 0 : 128;
}
