// Tells a test about processes it started, each named "ID:CREATED" as its ready file names it
// (support/ready_file_win.h), so that a later process that Wine gives the same id is never taken
// for it, nor ended in its place:
//   process_watch running ID:CREATED...          the state of each now
//   process_watch ended SECONDS ID:CREATED...    the state of each once all have ended, or once
//                                                SECONDS have passed
//   process_watch end ID:CREATED...              ends each with its descendants (they first),
//                                                then the state of each within 60 seconds
// Prints one line per process, "ID running" or "ID ended", in the order given. Exit 0 when it
// could answer, 1 on a usage error.
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "platform/basics/handles_win.h"
#include "support/ready_file_win.h"

namespace {

using koravane::UniqueHandle;
using koravane::test::ProcessIdentity;

// Watching asks for no right to end: a process that refuses to be ended is still seen running.
constexpr DWORD kWatch = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kAccess = kWatch | PROCESS_TERMINATE;

// A handle on the process the identity names, or none when that process has gone (its id now
// free or someone else's).
UniqueHandle open_identity(const ProcessIdentity& identity) {
  if (identity.id == GetCurrentProcessId()) return UniqueHandle();
  UniqueHandle process(OpenProcess(kWatch, FALSE, identity.id));
  if (process && koravane::test::creation_time(process.get()) != identity.created) process.reset();
  return process;
}

bool is_running(HANDLE process) {
  return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

void print_states(const std::vector<ProcessIdentity>& identities,
                  const std::vector<UniqueHandle>& handles) {
  std::string text;
  for (size_t i = 0; i < identities.size(); ++i) {
    text += std::to_string(identities[i].id) +
            (is_running(handles[i].get()) ? " running\n" : " ended\n");
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

// Waits until every handle is signalled or the time is up.
void wait_all(const std::vector<UniqueHandle>& handles, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (const UniqueHandle& handle : handles) {
    if (!handle) continue;
    const ULONGLONG now = GetTickCount64();
    WaitForSingleObject(handle.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0);
  }
}

// Processes whose parent is the given one and which started after it (an older process with that
// parent id had another parent, whose id was reused), children before their own children.
void collect_descendants(const ProcessIdentity& parent, std::vector<UniqueHandle>& found) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  std::vector<ProcessIdentity> children;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != parent.id || entry.th32ProcessID == parent.id) continue;
    UniqueHandle child(OpenProcess(kAccess, FALSE, entry.th32ProcessID));
    const uint64_t created = child ? koravane::test::creation_time(child.get()) : 0;
    if (!child || created < parent.created) continue;
    children.push_back({entry.th32ProcessID, created});
    found.push_back(std::move(child));
  }
  for (const ProcessIdentity& child : children) collect_descendants(child, found);
}

// Ends the process and everything it started, the youngest generation first, so that a waiting
// parent sees its child's exit code before it goes itself.
void end_tree(const ProcessIdentity& identity, HANDLE process) {
  if (!process) return;  // gone already
  std::vector<UniqueHandle> descendants;
  collect_descendants(identity, descendants);
  for (auto it = descendants.rbegin(); it != descendants.rend(); ++it)
    TerminateProcess(it->get(), 1);
  wait_all(descendants, 10000);
  // The watching handle keeps the id from going to another process meanwhile.
  const UniqueHandle ending(OpenProcess(PROCESS_TERMINATE, FALSE, identity.id));
  if (ending) TerminateProcess(ending.get(), 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  const std::wstring command = argv[1];
  int first = 2;
  DWORD wait_ms = 0;
  if (command == L"ended") {
    wait_ms = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000);
    first = 3;
  } else if (command == L"end") {
    wait_ms = 60000;
  } else if (command != L"running") {
    return 1;
  }
  std::vector<ProcessIdentity> identities;
  std::vector<UniqueHandle> handles;
  for (int i = first; i < argc; ++i) {
    const std::optional<ProcessIdentity> identity = koravane::test::parse_identity(argv[i]);
    if (!identity) return 1;
    identities.push_back(*identity);
    handles.push_back(open_identity(*identity));
  }
  if (command == L"end") {
    for (size_t i = 0; i < identities.size(); ++i) end_tree(identities[i], handles[i].get());
  }
  wait_all(handles, wait_ms);
  print_states(identities, handles);
  return 0;
}
