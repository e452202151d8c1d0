#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/files/env.h"
#include "platform/files/file_write_win.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"

namespace koravane {
namespace {

constexpr DWORD kAppendAccess = FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                READ_CONTROL | SYNCHRONIZE;  // 0x00120114: no plain write-data right
static_assert(kAppendAccess == 0x00120114);

bool is_directory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_not_found(DWORD error) { return error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND; }

// Creates folder and its missing ancestors; the outcome does not matter to the caller.
void ensure_folder(const std::string& folder) {
  std::vector<std::string> to_create;
  std::optional<std::string> current = folder;
  while (current && !current->empty() && parent_path(*current)) {
    const std::wstring wide = to_system_path(*current);
    if (CreateDirectoryW(wide.c_str(), nullptr)) break;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && is_directory(wide)) break;
    if (!is_not_found(error)) return;
    to_create.push_back(*current);
    current = parent_path(*current);
  }
  for (auto it = to_create.rbegin(); it != to_create.rend(); ++it) {
    const std::wstring wide = to_system_path(*it);
    if (CreateDirectoryW(wide.c_str(), nullptr)) continue;
    if (GetLastError() == ERROR_ALREADY_EXISTS && is_directory(wide)) continue;
    return;
  }
}

// Appends message and a line feed; the system's error where the file would not open or take it.
OsStatus append_line(std::string_view file_path, std::string_view message) {
  UniqueHandle file(CreateFileW(to_system_path(file_path).c_str(), kAppendAccess,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, 0, nullptr));
  if (!file) return OsError{GetLastError()};
  if (OsStatus written = write_all(file.get(), message); !written) return written;
  return write_all(file.get(), "\n");
}

}  // namespace

bool append_log_line(std::string_view file_path, std::string_view message) {
  return append_line(file_path, message).ok();
}

void append_temporary_log(std::string_view message) {
  // The last place a line can go: one it will not take is dropped.
  if (const auto temp = temp_folder()) (void)append_log_line(join_path(temp.value(), kTemporaryLogName), message);
}

RunLog::RunLog(std::string_view install_root)
    : folder_(join_path(install_root, kRunLogFolder)), file_(join_path(folder_, kRunLogFile)) {}

void RunLog::append(std::string_view message) const {
  ensure_folder(folder_);
  const OsStatus appended = append_line(file_, message);
  if (appended) {
    if (first_line_.empty()) first_line_ = message;
    return;
  }
  if (!write_error_ && !first_line_.empty()) append_temporary_log(first_line_);
  if (!write_error_) write_error_ = appended.error().code;
  append_temporary_log(message);
}

void append_run_log(std::string_view install_root, std::string message) { RunLog(install_root).append(message); }

std::string os_error_text(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) return format_message_failure(code, GetLastError());
  const UniqueLocalString owned(buffer);
  return format_os_error(display_text(from_wide(std::wstring_view(owned.get(), length))), code);
}

std::string fail_line(std::string_view subject, uint32_t code) {
  return fail_line(subject, os_error_text(code));
}

}  // namespace koravane
