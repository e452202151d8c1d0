// Another process working in a tree that is being removed:
//   tree_helper hold PATH READY_EVENT RELEASE_EVENT  -- keeps PATH open without delete sharing
//                                                     from READY until RELEASE is signalled
//   tree_helper delete PATH...                       -- deletes files and empty folders
//   tree_helper short PATH                           -- writes PATH's 8.3 spelling (UTF-8)
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/basics/handles_win.h"

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

// The spelling a shortcut or an old installer may carry; Wine makes such names up for long ones.
int print_short_path(const wchar_t* path) {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetShortPathNameW(path, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return 1;
  std::string text(4 * length, '\0');
  const int size = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length), text.data(),
                                       static_cast<int>(text.size()), nullptr, nullptr);
  DWORD written = 0;
  return size > 0 && WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(size), &written, nullptr) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view mode = argc > 1 ? argv[1] : L"";
  if (mode == L"hold" && argc == 5) return hold(argv[2], argv[3], argv[4]);
  if (mode == L"delete") return delete_entries(argc - 2, argv + 2);
  if (mode == L"short" && argc == 3) return print_short_path(argv[2]);
  return 3;
}
