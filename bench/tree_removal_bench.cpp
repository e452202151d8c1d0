// Removes one tree with remove_tree_with_retries and prints how long it took and how many
// directory handles it held at once:  tree_removal_bench PATH
// Output: one line "seconds=S peak_directory_handles=N result=CODE".
#include <windows.h>

#include <cstdio>
#include <unordered_set>

#include "platform/text/os_text_win.h"
#include "removal/tree/tree_removal_core.h"
#include "removal/tree/tree_removal_system_win.h"

namespace koravane {
namespace {

// Counts the directory handles (opened for listing) that are open at the same time.
class CountingRemovalSystem : public Win32RemovalSystem {
 public:
  size_t peak() const { return peak_; }

  OsResult<FsHandle> open_top(std::string_view path, uint32_t access) override {
    OsResult<FsHandle> opened = Win32RemovalSystem::open_top(path, access);
    if (opened && (access & removal_code::kAccessListDirectory) != 0) track(opened.value());
    return opened;
  }
  NtOpenOutcome open_relative(FsHandle parent, std::u16string_view name, uint32_t access,
                              uint32_t object_attributes, uint32_t share, uint32_t options) override {
    const NtOpenOutcome opened =
        Win32RemovalSystem::open_relative(parent, name, access, object_attributes, share, options);
    if ((opened.status & 0x80000000u) == 0 && (access & removal_code::kAccessListDirectory) != 0) {
      track(opened.handle);
    }
    return opened;
  }
  void close(FsHandle handle) override {
    open_directories_.erase(handle);
    Win32RemovalSystem::close(handle);
  }

 private:
  void track(FsHandle handle) {
    open_directories_.insert(handle);
    if (open_directories_.size() > peak_) peak_ = open_directories_.size();
  }

  std::unordered_set<FsHandle> open_directories_;
  size_t peak_ = 0;
};

}  // namespace
}  // namespace koravane

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: tree_removal_bench PATH\n", stderr);
    return 2;
  }
  koravane::CountingRemovalSystem system;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const koravane::OsStatus result =
      koravane::remove_tree_with_retries(system, koravane::process_no_reparse_flag(), koravane::from_wide(argv[1]));
  QueryPerformanceCounter(&end);
  const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  std::printf("seconds=%.4f peak_directory_handles=%zu result=%u\n", seconds, system.peak(),
              static_cast<unsigned>(koravane::error_code(result)));
  return result.ok() ? 0 : 1;
}
