#pragma once
// Shortcuts made through the shell's own link object, as an installer or a person pinning a
// program makes them: the bytes the system writes, not ours.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace koravane::test {

// Saves a shortcut at link to target with the arguments; whether it was written. COM lives only
// for the call.
inline bool make_shell_link(const std::wstring& link, const std::wstring& target,
                            const std::wstring& arguments = L"") {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  bool saved = false;
  IShellLinkW* shell_link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shell_link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell_link->SetPath(target.c_str())) &&
        SUCCEEDED(shell_link->SetArguments(arguments.c_str())) &&
        SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      saved = SUCCEEDED(file->Save(link.c_str(), TRUE));
      file->Release();
    }
    shell_link->Release();
  }
  CoUninitialize();
  return saved;
}

}  // namespace koravane::test
