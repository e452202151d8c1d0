#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/files/env.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/files/path_identity.h"
#include "platform/text/path_text.h"
#include "removal/steps/registration.h"
#include "run/root/install_root.h"

namespace koravane {
namespace {

class SystemRootProbe final : public RootProbe {
 public:
  OsResult<std::string> current_directory() const override { return koravane::current_directory(); }

  bool exists(const std::string& path) const override {
    const std::wstring wide = to_system_path(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    // A link counts only when what it points at is there: opening it follows the link.
    UniqueHandle target(CreateFileW(wide.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return static_cast<bool>(target);
  }

  ListingStatus list_entries(const std::string& folder,
                             const std::function<bool(const ListedEntry&)>& visit) const override {
    return visit_listed_entries(folder, visit);
  }

  std::optional<std::string> read_file_tail(const std::string& path, size_t max_bytes) const override {
    UniqueHandle file(CreateFileW(to_system_path(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
    const uint64_t length = static_cast<uint64_t>(size.QuadPart);
    const uint64_t wanted = std::min<uint64_t>(length, max_bytes);
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(length - wanted);
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string text(static_cast<size_t>(wanted), '\0');
    size_t filled = 0;
    DWORD read = 0;
    while (filled < text.size() &&
           ReadFile(file.get(), text.data() + filled, static_cast<DWORD>(text.size() - filled), &read,
                    nullptr) &&
           read > 0) {
      filled += read;
    }
    text.resize(filled);
    return text;
  }

  std::optional<std::string> absolute_path(const std::string& path) const override {
    OsResult<std::string> full = koravane::absolute_path(path);
    if (!full) return std::nullopt;
    return std::move(full).value();
  }

  std::optional<std::string> final_path(const std::string& absolute) const override {
    return koravane::final_path(absolute);
  }

  std::optional<FileIdentity> identity(const std::string& absolute) const override {
    std::optional<ResolvedFile> resolved = resolve_file(absolute);
    if (!resolved) return std::nullopt;
    return resolved->identity;
  }

  std::optional<std::string> registered_root() const override { return registered_install_location(); }
};

}  // namespace

RunContext start_run(const LaunchOptions& options) {
  const OsResult<std::string> started_in = current_directory();
  const OsResult<std::string> executable = own_executable_path();
  InstallRoot root = find_install_root(options, executable, SystemRootProbe());
  // By its absolute form: the run goes on in another working folder.
  RunLog log(root.absolute);
  const std::string own = executable ? executable.value() : std::string();
  std::string own_final = own.empty() ? own : path_forms(own).final;
  return {std::move(root), own, std::move(own_final), std::move(log), started_in ? started_in.value() : std::string()};
}

}  // namespace koravane
