#pragma once
// One small owning wrapper per handle kind: the handle is closed when the wrapper goes; and a
// scope guard for a lock.
#include <windows.h>

#include <utility>

namespace koravane {

template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;
  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return Traits::valid(handle_); }
  Handle release() { return std::exchange(handle_, Traits::empty()); }
  void reset(Handle handle = Traits::empty()) {
    if (Traits::valid(handle_)) Traits::close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::empty();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle empty() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Handle h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle empty() { return INVALID_HANDLE_VALUE; }
  static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Handle h) { FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle empty() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr; }
  static void close(Handle h) { RegCloseKey(h); }
};
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle empty() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr; }
  static void close(Handle h) { DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

// A memory device context of our own (CreateCompatibleDC), not one borrowed from a window.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle empty() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr; }
  static void close(Handle h) { DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Holds a slim reader/writer lock exclusively for one scope.
class ExclusiveLockGuard {
 public:
  explicit ExclusiveLockGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLockGuard() { ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLockGuard(const ExclusiveLockGuard&) = delete;
  ExclusiveLockGuard& operator=(const ExclusiveLockGuard&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace koravane
