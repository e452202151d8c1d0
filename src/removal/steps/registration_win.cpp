#include <windows.h>

#include <vector>

#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "removal/references/references.h"
#include "removal/steps/layout.h"
#include "removal/steps/registration.h"

namespace koravane {
namespace {

bool is_missing(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

OsStatus as_status(LSTATUS status) {
  return status == ERROR_SUCCESS ? os_success() : OsStatus(OsError{static_cast<uint32_t>(status)});
}

bool has_value(HKEY key, std::string_view name) {
  return RegQueryValueExW(key, to_wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

OsStatus set_text(HKEY key, std::string_view name, std::string_view text) {
  const std::wstring value = to_wide(text);
  return as_status(RegSetValueExW(key, to_wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

}  // namespace

std::string uninstall_key_item() { return registry_item(kUninstallKey); }

OsStatus remove_uninstall_registration() {
  // With its subkeys: a key that keeps one stays in the list of installed programs.
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, to_wide(kUninstallKey).c_str());
  return is_missing(status) ? os_success() : as_status(status);
}

OsStatus name_root_in_registration(std::string_view final_root) {
  HKEY opened = nullptr;
  const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, to_wide(kUninstallKey).c_str(), 0, nullptr, 0,
                                         KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened, nullptr);
  if (status != ERROR_SUCCESS) return as_status(status);
  const UniqueRegKey key(opened);
  // A key the install wrote keeps the name it shows; without one the list would not show it.
  if (!has_value(key.get(), "DisplayName")) {
    if (OsStatus named = set_text(key.get(), "DisplayName", kDisplayName); !named) return named;
  }
  // The way back starts the uninstaller kept in the root, whatever the install named.
  if (OsStatus set = set_text(key.get(), "UninstallString", uninstall_command(final_root)); !set) return set;
  return set_text(key.get(), kInstallLocationValue, final_root);
}

std::optional<std::string> registered_install_location() {
  const std::wstring key = to_wide(kUninstallKey);
  const std::wstring name = to_wide(kInstallLocationValue);
  std::vector<wchar_t> data(MAX_PATH);
  for (int attempt = 0; attempt < 4; ++attempt) {  // a value that grows meanwhile is read again
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    // REG_SZ, or REG_EXPAND_SZ with its variables expanded.
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(size / sizeof(wchar_t) + 1);
      continue;
    }
    if (status != ERROR_SUCCESS || size < sizeof(wchar_t)) return std::nullopt;
    const std::string location = from_wide(std::wstring_view(data.data(), size / sizeof(wchar_t) - 1));
    if (location.empty()) return std::nullopt;
    return location;
  }
  return std::nullopt;
}

}  // namespace koravane
