#include "run/root/one_removal_win.h"

#include "platform/text/os_text_win.h"
#include "run/root/one_removal.h"

namespace koravane {

RemovalLock take_removal_lock(const InstallRoot& root) {
  const std::optional<ResolvedFile> resolved = resolve_file(root.absolute);
  const std::string name = resolved ? removal_lock_name(resolved->identity, resolved->final)
                                    : removal_lock_name(std::nullopt, root.final);
  RemovalLock lock;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, to_wide(name).c_str());
  const DWORD error = GetLastError();
  lock.held = UniqueHandle(mutex);
  // The mutex lives while any run holds it: one that exists is another run's. One made by another
  // user's run with rights this one lacks cannot be opened, and is another run's just as well.
  lock.under_way_elsewhere = error == ERROR_ALREADY_EXISTS || (mutex == nullptr && error == ERROR_ACCESS_DENIED);
  if (lock.under_way_elsewhere) lock.held.reset();
  return lock;
}

}  // namespace koravane
