#include "run/root/one_removal_win.h"

#include <atomic>
#include <cstdint>

#include "platform/text/os_text_win.h"
#include "run/root/one_removal.h"

namespace koravane {
namespace {

// The block: the holder's process id, then whether it only asks (1) or not (0). Written by the
// holder only, read by other runs while it runs: each field on its own.
constexpr DWORD record_size = 2 * sizeof(uint64_t);

std::atomic_ref<uint64_t> field(void* view, int index) {
  return std::atomic_ref<uint64_t>(static_cast<uint64_t*>(view)[index]);
}

// The holder's block, written from the start: its process.
void open_record(RemovalLock& lock) {
  lock.record = UniqueHandle(
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, record_size, lock.record_name.c_str()));
  if (!lock.record) return;
  lock.record_view = UniqueMappedView(MapViewOfFile(lock.record.get(), FILE_MAP_WRITE, 0, 0, record_size));
  if (!lock.record_view) return;
  field(lock.record_view.get(), 1).store(0);
  field(lock.record_view.get(), 0).store(GetCurrentProcessId());
}

}  // namespace

RemovalLock take_removal_lock(const InstallRoot& root) {
  const std::optional<ResolvedFile> resolved = resolve_file(root.absolute);
  const std::string name = resolved ? removal_lock_name(resolved->identity, resolved->final)
                                    : removal_lock_name(std::nullopt, root.final);
  RemovalLock lock;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, to_wide(name).c_str());
  const DWORD error = GetLastError();
  lock.held = UniqueHandle(mutex);
  lock.record_name = to_wide(name + "-run");
  // The mutex lives while any run holds it: one that exists is another run's. One made by another
  // user's run with rights this one lacks cannot be opened, and is another run's just as well.
  lock.under_way_elsewhere = error == ERROR_ALREADY_EXISTS || (mutex == nullptr && error == ERROR_ACCESS_DENIED);
  if (lock.under_way_elsewhere) lock.held.reset();
  else if (lock.held) open_record(lock);
  return lock;
}

void tell_asking(const RemovalLock& lock, bool asking) {
  if (lock.record_view) field(lock.record_view.get(), 1).store(asking ? 1 : 0);
}

OtherRun read_other_run(const RemovalLock& lock) {
  const UniqueHandle record(OpenFileMappingW(FILE_MAP_READ, FALSE, lock.record_name.c_str()));
  if (!record) return {};
  const UniqueMappedView view(MapViewOfFile(record.get(), FILE_MAP_READ, 0, 0, record_size));
  if (!view) return {};
  return {static_cast<DWORD>(field(view.get(), 0).load()), field(view.get(), 1).load() == 1};
}

}  // namespace koravane
