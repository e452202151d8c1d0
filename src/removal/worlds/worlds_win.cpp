#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "removal/worlds/worlds.h"

namespace koravane {
namespace {

class SystemFolderListing final : public FolderListing {
 public:
  OsResult<std::vector<ListedEntry>> list(std::string_view folder) override { return list_folder_entries(folder); }
};

// "The bin did not take it": the shell's own codes are no system errors, and a refusal is none.
constexpr DWORD kBinRefused = ERROR_NOT_SUPPORTED;
static_assert(world_code::kBadPathname == ERROR_BAD_PATHNAME &&
              world_code::kFilenameTooLong == ERROR_FILENAME_EXCED_RANGE);

bool is_gone(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Refuses every deletion that would not go to the bin: the shell would otherwise delete for good
// what the bin cannot take (too big, the bin off, a network drive), without asking. It sees every
// item: one refused, or one the shell does not say went to the bin, refuses the world.
class RecycleOnlySink final : public IFileOperationProgressSink {
 public:
  bool refused = false;
  int recycled = 0;     // items the shell says went to the bin, each as a new item there
  bool missed = false;  // an item the shell does not say went there

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id != IID_IUnknown && id != IID_IFileOperationProgressSink) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IFileOperationProgressSink*>(this);
    return S_OK;
  }
  // Lives on the caller's stack, beyond the operation that holds it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
    if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) != 0) return S_OK;
    refused = true;
    return E_ABORT;
  }
  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT result, IShellItem* in_bin) override {
    if (SUCCEEDED(result) && in_bin != nullptr) {
      ++recycled;
    } else {
      missed = true;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

DWORD error_of(HRESULT result) {
  return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : kBinRefused;
}

// Through the shell's file operation, watched item by item; refused unless the shell said that
// the world went to the bin. E_NOTIMPL where the shell has only its outline (Wine 8), having done
// nothing.
HRESULT recycle_through_file_operation(const std::wstring& path, bool& refused) {
  UniqueComPointer<IFileOperation> operation;
  IFileOperation* created = nullptr;
  HRESULT result = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&created));
  if (FAILED(result)) return result;
  operation.reset(created);
  result = operation.get()->SetOperationFlags(FOF_ALLOWUNDO | FOF_NO_UI | FOFX_RECYCLEONDELETE);
  if (FAILED(result)) return result;
  UniqueComPointer<IShellItem> item;
  IShellItem* parsed = nullptr;
  result = SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&parsed));
  if (FAILED(result)) return result;
  item.reset(parsed);
  RecycleOnlySink sink;
  DWORD cookie = 0;
  result = operation.get()->Advise(&sink, &cookie);
  if (FAILED(result)) return result;
  result = operation.get()->DeleteItem(item.get(), nullptr);
  if (SUCCEEDED(result)) result = operation.get()->PerformOperations();
  BOOL aborted = FALSE;
  if (SUCCEEDED(result)) result = operation.get()->GetAnyOperationsAborted(&aborted);
  (void)operation.get()->Unadvise(cookie);  // the operation is over: nothing more reaches the sink
  refused = sink.refused || (SUCCEEDED(result) && (sink.missed || sink.recycled == 0 || aborted));
  return result;
}

// The entry the shell's folder deletion would try first: it walks each folder in listing order,
// entering the first entry when that is a folder, and stops at the first entry it cannot delete.
OsResult<UniqueHandle> hold_first_entry(std::wstring folder) {
  for (int depth = 0; depth < 128; ++depth) {
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return OsError{GetLastError()};
    bool any = false;
    do {
      any = wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0;
    } while (!any && FindNextFileW(find.get(), &found));
    const bool inner_folder = any && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (inner_folder) {
      folder += L"\\";
      folder += found.cFileName;
      continue;
    }
    const std::wstring held = any ? folder + L"\\" + found.cFileName : folder;
    // No sharing for deletion: the entry cannot go while this is open, but the world can move.
    UniqueHandle handle(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return OsError{GetLastError()};
    return handle;
  }
  return OsError{ERROR_CANT_RESOLVE_FILENAME};
}

// Through the older call, which deletes for good what it cannot send to the bin (Wine's does so
// when the bin is off or on another volume). So it is handed only a world every path of which it
// can take, and the first entry that deletion would meet is held open first: it would stop there,
// with nothing deleted, while a move to the bin goes on.
OsStatus recycle_through_shell_call(std::string_view world) {
  SystemFolderListing listing;
  const OsResult<size_t> below = longest_below(listing, world, kPlainPathLimit);
  if (!below) return below.error();
  if (const uint32_t refusal = older_call_refusal(world, below.value())) return OsError{refusal};
  const std::wstring path = to_wide(world);
  const OsResult<UniqueHandle> guard = hold_first_entry(path);
  if (!guard) return guard.error();
  std::wstring from = path;
  from.push_back(L'\0');  // a list of paths, ended by an empty one
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI;
  const int result = SHFileOperationW(&operation);
  if (result != 0 || operation.fAnyOperationsAborted) return OsError{kBinRefused};
  return os_success();
}

}  // namespace

WorldSearch find_worlds(std::string_view root, const WorldSearchOptions& options) {
  SystemFolderListing listing;
  return find_worlds(listing, root, options);
}

OsStatus recycle_world(std::string_view path) {
  // A relative or empty path would name something in the working folder.
  if (!is_fully_qualified(path)) return OsError{world_code::kBadPathname};
  const ComApartmentGuard com(COINIT_APARTMENTTHREADED);  // the file operation wants a single-threaded one
  bool refused = false;
  const HRESULT result = com ? recycle_through_file_operation(to_wide(path), refused) : E_NOTIMPL;
  if (result == E_NOTIMPL) {
    if (OsStatus recycled = recycle_through_shell_call(path); !recycled) return recycled;
  } else if (FAILED(result) || refused) {
    return OsError{refused ? kBinRefused : error_of(result)};
  }
  // The bin has it only when it is gone from here.
  if (!is_gone(to_system_path(path))) return OsError{kBinRefused};
  return os_success();
}

}  // namespace koravane
