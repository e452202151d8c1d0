#pragma once
// The one owning wrapper for every kind of handle: the handle is closed when the wrapper goes.
// Portable, so that code written against an interface of handles (the tree removal) owns them
// the same way as Win32 code does; the Win32 kinds are in handles_win.h.
#include <utility>

namespace koravane {

// Traits give the handle type, its empty value, what counts as valid and how to close one. Traits
// that carry state (which system closes the handle) are kept beside the handle.
template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;
  UniqueResource() = default;
  explicit UniqueResource(Handle handle, Traits traits = Traits()) : handle_(handle), traits_(traits) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()), traits_(other.traits_) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      traits_ = other.traits_;
    }
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return Traits::valid(handle_); }
  Handle release() { return std::exchange(handle_, Traits::empty()); }
  void reset(Handle handle = Traits::empty()) {
    if (Traits::valid(handle_)) traits_.close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::empty();
  [[no_unique_address]] Traits traits_;
};

}  // namespace koravane
