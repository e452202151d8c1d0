#pragma once
// Starting another program: the request, its errors, program search and command-line quoting.
// Search and quoting are text logic; launching itself lives in child_process_win.cpp.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/basics/result.h"

namespace koravane {

enum class StdioDisposition { inherit, null_device };

// Which of the uninstaller's handles a child inherits.
enum class HandleInheritance {
  every_inheritable,  // as process creation does by default
  // Only the standard handles prepared for the child: a handle the uninstaller was handed (a
  // redirected output file, say) must not be held open by a child that outlives it.
  standard_handles_only,
};

// CREATE_NO_WINDOW: a console child gets no visible window.
inline constexpr uint32_t kCreateNoWindow = 0x08000000;

// One request to start a child. Text is the program's 8-bit (WTF-8) form.
struct ChildCommand {
  explicit ChildCommand(std::string program_name) : program(std::move(program_name)) {}
  ChildCommand& arg(std::string argument) {
    arguments.push_back(std::move(argument));
    return *this;
  }

  std::string program;
  std::vector<std::string> arguments;
  std::optional<StdioDisposition> standard_input;  // unset: inherit
  std::optional<StdioDisposition> standard_output;
  std::optional<StdioDisposition> standard_error;
  uint32_t creation_flags = 0;
  HandleInheritance inheritance = HandleInheritance::every_inheritable;
  // The child's current directory; unset: the uninstaller's own.
  std::optional<std::string> working_directory;
};

enum class LaunchErrorKind { invalid_input, not_found };

struct LaunchError {
  LaunchErrorKind kind;
  std::string_view message;  // one of the fixed texts below
};

inline constexpr std::string_view kNoFileName = "program path has no file name";
inline constexpr std::string_view kNulByte = "nul byte found in provided data";
inline constexpr std::string_view kProgramNotFound = "program not found";

// A launch fails with a Win32 error code or with a launch error.
using ChildError = std::variant<OsError, LaunchError>;

template <class T>
using ChildResult = Result<T, ChildError>;

// The launch error of a failed launch; nothing for a success or a Win32 error.
template <class T>
const LaunchError* launch_error_of(const ChildResult<T>& result) {
  return result ? nullptr : std::get_if<LaunchError>(&result.error());
}

// The Win32 error of a failed launch; 0 for a success or a launch error.
template <class T>
uint32_t os_error_of(const ChildResult<T>& result) {
  const OsError* error = result ? nullptr : std::get_if<OsError>(&result.error());
  return error ? error->code : 0;
}

// The system queries program search needs, injected so that the search runs without Windows.
// A query that yields nothing skips its stage.
struct ProgramSearchEnvironment {
  std::function<bool(const std::string& path)> exists;  // any file-system object, links not followed
  std::function<std::optional<std::string>()> own_executable_path;
  std::function<std::optional<std::string>()> system_directory;
  std::function<std::optional<std::string>()> windows_directory;
  std::function<std::optional<std::string>()> path_variable;
};

// Program name as the caller wrote it -> the executable path handed to process creation.
ChildResult<std::string> resolve_program(std::string_view program,
                                         const ProgramSearchEnvironment& environment);

// The directories of a "PATH" value: ';' separates unless quoted, quotes are dropped, empty
// entries are skipped.
std::vector<std::string> split_search_path(std::string_view value);

// The child's command line (UTF-16, without the terminating NUL): the program name between
// quotes, unescaped, then each argument quoted and escaped for the usual argument splitting.
ChildResult<std::u16string> build_command_line(std::string_view program,
                                               const std::vector<std::string>& arguments);

// Windows only (child_process_win.cpp). Unset standard handles are inherited.
// Starts the child, waits without a time limit and returns its exit code.
ChildResult<uint32_t> run_child(const ChildCommand& command);
// Starts the child and lets it run on; its handles are closed before returning.
ChildResult<std::monostate> start_child(const ChildCommand& command);

}  // namespace koravane
