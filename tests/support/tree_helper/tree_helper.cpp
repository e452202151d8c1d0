// Another process working in a tree that is being removed:
//   tree_helper hold PATH READY_EVENT RELEASE_EVENT  -- keeps PATH open without delete sharing
//                                                     from READY until RELEASE is signalled
//   tree_helper delete PATH...                       -- deletes files and empty folders
#include <windows.h>

#include <string_view>

#include "platform/handles_win.h"

namespace {

int hold(const wchar_t* path, const wchar_t* ready_name, const wchar_t* release_name) {
  const koravane::UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return 1;
  const koravane::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, ready_name));
  const koravane::UniqueHandle release(OpenEventW(SYNCHRONIZE, FALSE, release_name));
  if (!ready || !release) return 2;
  SetEvent(ready.get());
  WaitForSingleObject(release.get(), INFINITE);
  return 0;
}

int delete_entries(int count, wchar_t** paths) {
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    const DWORD attributes = GetFileAttributesW(paths[i]);
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!(folder ? RemoveDirectoryW(paths[i]) : DeleteFileW(paths[i]))) ++failures;
  }
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view mode = argc > 1 ? argv[1] : L"";
  if (mode == L"hold" && argc == 5) return hold(argv[2], argv[3], argv[4]);
  if (mode == L"delete") return delete_entries(argc - 2, argv + 2);
  return 3;
}
