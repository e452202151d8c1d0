#pragma once
// Questions the uninstaller asks the system about its surroundings. Paths are lossless WTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/os_result.h"

namespace koravane {

// Absent (unset, unreadable, or a name with NUL) or the value, which may be empty.
std::optional<std::string> read_env_var(std::string_view name);
OsResult<std::string> own_executable_path();
OsResult<std::string> current_directory();
// path made absolute against the current directory (GetFullPathNameW); the empty path is the
// current directory itself.
OsResult<std::string> full_path_name(std::string_view path);
// GetTempPath2W where the system offers it (looked up once per run), else GetTempPathW.
OsResult<std::string> temp_folder();
OsResult<std::string> system_directory();
OsResult<std::string> windows_directory();
uint32_t current_process_id();

}  // namespace koravane
