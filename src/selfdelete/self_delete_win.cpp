#include <windows.h>

#include <algorithm>

#include "platform/child_process.h"
#include "platform/env.h"
#include "platform/file_write_win.h"
#include "platform/handles_win.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "platform/run_log.h"
#include "selfdelete/script_encoding_win.h"
#include "selfdelete/self_delete.h"
#include "selfdelete/script_text.h"

namespace koravane {
namespace {

bool write_script(const std::string& path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(to_wide(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && write_all(file.get(), bytes);
}

}  // namespace

std::optional<std::string> encode_oem_lossless(std::string_view utf8) {
  const std::wstring wide = to_wide(utf8);
  if (wide.empty()) return std::string();
  const UINT code_page = GetOEMCP();
  BOOL used_default = FALSE;
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                       nullptr, 0, nullptr, &used_default);
  if (size <= 0 || used_default) return std::nullopt;  // also code pages that refuse the check
  std::string out(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), size,
                          nullptr, &used_default) != size ||
      used_default) {
    return std::nullopt;
  }
  return out;
}

void schedule_self_deletion(const std::vector<std::string>& deferred_paths,
                            std::string_view install_root) {
  const OsResult<std::string> folder = temp_folder();
  if (!folder) return;
  const std::string script = join_path(folder.value(), script_file_name(current_process_id()));
  if (!write_script(script, script_bytes(deferred_paths, encode_oem_lossless))) return;

  ChildCommand interpreter{"cmd"};
  interpreter.arg("/C").arg(display_text(script));
  interpreter.creation_flags = kCreateNoWindow;
  (void)start_child(interpreter);  // a script that never runs leaves the paths; nothing to add
  append_run_log(install_root, "scheduled delete via " + display_text(script));
}

}  // namespace koravane
