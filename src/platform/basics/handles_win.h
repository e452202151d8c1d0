#pragma once
// One alias per Win32 handle kind over the one owning wrapper, and scope guards for the paired
// calls (a lock, painting, a selected GDI object). No handle of ours is closed anywhere else.
#include <windows.h>
#include <combaseapi.h>
#include <objbase.h>
#include <restartmanager.h>

#include "platform/basics/unique_resource.h"

namespace koravane {

// Handles whose empty value is null.
template <class H, auto Close>
struct NullEmptyTraits {
  using Handle = H;
  static Handle empty() { return nullptr; }
  static bool valid(Handle h) { return h != nullptr; }
  static void close(Handle h) { Close(h); }
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

inline void close_key(HKEY key) { RegCloseKey(key); }
using UniqueRegKey = UniqueResource<NullEmptyTraits<HKEY, close_key>>;

// GDI objects, one alias per type, so nobody casts.
template <class H>
inline void delete_gdi_object(H object) { DeleteObject(object); }
using UniqueFont = UniqueResource<NullEmptyTraits<HFONT, delete_gdi_object<HFONT>>>;
using UniqueBrush = UniqueResource<NullEmptyTraits<HBRUSH, delete_gdi_object<HBRUSH>>>;
using UniquePen = UniqueResource<NullEmptyTraits<HPEN, delete_gdi_object<HPEN>>>;
using UniqueRegion = UniqueResource<NullEmptyTraits<HRGN, delete_gdi_object<HRGN>>>;
using UniqueBitmap = UniqueResource<NullEmptyTraits<HBITMAP, delete_gdi_object<HBITMAP>>>;

// A view of a file mapping (MapViewOfFile).
inline void unmap_view(void* view) { UnmapViewOfFile(view); }
using UniqueMappedView = UniqueResource<NullEmptyTraits<void*, unmap_view>>;

// A memory device context of our own (CreateCompatibleDC), not one borrowed from a window.
inline void delete_dc(HDC dc) { DeleteDC(dc); }
using UniqueMemoryDc = UniqueResource<NullEmptyTraits<HDC, delete_dc>>;

// Memory the system allocated for an answer: the shell's (CoTaskMemAlloc) and FormatMessageW's.
inline void free_co_task_memory(wchar_t* memory) { CoTaskMemFree(memory); }
using UniqueCoTaskString = UniqueResource<NullEmptyTraits<wchar_t*, free_co_task_memory>>;
inline void free_local_memory(wchar_t* memory) { LocalFree(memory); }
using UniqueLocalString = UniqueResource<NullEmptyTraits<wchar_t*, free_local_memory>>;

// An array of ids the shell handed out (a known-folder id is a GUID).
inline void free_co_task_ids(GUID* memory) { CoTaskMemFree(memory); }
using UniqueCoTaskIds = UniqueResource<NullEmptyTraits<GUID*, free_co_task_ids>>;

// A COM object's reference, released when it goes.
template <class Interface>
inline void release_com_object(Interface* object) { object->Release(); }
template <class Interface>
using UniqueComPointer = UniqueResource<NullEmptyTraits<Interface*, release_com_object<Interface>>>;

// COM for this thread for one scope (CoInitializeEx, then CoUninitialize where it succeeded). The
// multithreaded apartment unless asked otherwise: the objects asked for are free-threaded, and it
// makes no hidden window, which under Wine costs a run tens of milliseconds.
class ComApartmentGuard {
 public:
  explicit ComApartmentGuard(DWORD model = COINIT_MULTITHREADED)
      : status_(CoInitializeEx(nullptr, model | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartmentGuard() {
    if (SUCCEEDED(status_)) CoUninitialize();
  }
  ComApartmentGuard(const ComApartmentGuard&) = delete;
  ComApartmentGuard& operator=(const ComApartmentGuard&) = delete;
  // A thread already in the other kind of apartment may use COM all the same.
  explicit operator bool() const { return SUCCEEDED(status_) || status_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT status_;
};

// A process-creation attribute list (InitializeProcThreadAttributeList) in memory of the caller's,
// which must outlive it.
inline void delete_attribute_list(LPPROC_THREAD_ATTRIBUTE_LIST list) {
  DeleteProcThreadAttributeList(list);
}
using UniqueAttributeList =
    UniqueResource<NullEmptyTraits<LPPROC_THREAD_ATTRIBUTE_LIST, delete_attribute_list>>;

// A Restart Manager session (RmStartSession), ended with RmEndSession. Session handles are small
// numbers, 0 among them, so the empty value is one no session has.
struct RestartManagerSessionTraits {
  using Handle = DWORD;
  static Handle empty() { return static_cast<DWORD>(-1); }
  static bool valid(Handle h) { return h != empty(); }
  static void close(Handle h) { RmEndSession(h); }
};
using UniqueRestartManagerSession = UniqueResource<RestartManagerSessionTraits>;

// This process's environment block as GetEnvironmentStringsW hands it out.
inline void free_environment_strings(wchar_t* block) { FreeEnvironmentStringsW(block); }
using UniqueEnvironmentStrings = UniqueResource<NullEmptyTraits<wchar_t*, free_environment_strings>>;

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

// BeginPaint for one scope, EndPaint when it ends.
class PaintGuard {
 public:
  explicit PaintGuard(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintGuard() { EndPaint(window_, &paint_); }
  PaintGuard(const PaintGuard&) = delete;
  PaintGuard& operator=(const PaintGuard&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's device context (GetDC, or GetDCEx with flags; null: the screen's) for one scope,
// given back with ReleaseDC.
class WindowDcGuard {
 public:
  explicit WindowDcGuard(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDcGuard(HWND window, DWORD flags) : window_(window), dc_(GetDCEx(window, nullptr, flags)) {}
  ~WindowDcGuard() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDcGuard(const WindowDcGuard&) = delete;
  WindowDcGuard& operator=(const WindowDcGuard&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for one scope; what it replaced comes back after.
class SelectionGuard {
 public:
  SelectionGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectionGuard() { SelectObject(dc_, previous_); }
  SelectionGuard(const SelectionGuard&) = delete;
  SelectionGuard& operator=(const SelectionGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace koravane
