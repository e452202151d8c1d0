#include <windows.h>

#include "platform/files/env.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "removal/steps/held_by_this_run.h"

namespace koravane {
namespace {

class SystemHeldFilesProbe final : public HeldFilesProbe {
 public:
  std::optional<FileIdentity> identity(const std::string& path) const override {
    const std::optional<ResolvedFile> file = resolve_file(path);
    if (!file) return std::nullopt;
    return file->identity;
  }
  std::optional<std::string> final_path(const std::string& path) const override { return koravane::final_path(path); }
  std::optional<std::vector<std::string>> names_in(const std::string& folder) const override {
    FolderNames listed = list_folder_names(folder);
    if (!listed.status) return std::nullopt;
    return std::move(listed.names);
  }
};

}  // namespace

std::vector<HeldFile> files_held_by_this_run() {
  std::vector<HeldFile> held;
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) continue;
    if (std::optional<std::string> final = final_path_of(handle)) held.push_back({identity_of(handle), std::move(*final)});
  }
  return held;
}

bool stayed_only_for_this_run(const StayedEntries& stayed) {
  return stayed_only_for_this_run(stayed, files_held_by_this_run(), SystemHeldFilesProbe());
}

}  // namespace koravane
