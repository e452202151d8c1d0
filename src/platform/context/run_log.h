#pragma once
// The run log: "updates\rust-updater.log" under the install root, UTF-8 lines ending in LF.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

// Where the run log lies: this folder of the install root, this file in it.
inline constexpr std::string_view kRunLogFolder = "updates";
inline constexpr std::string_view kRunLogFile = "rust-updater.log";

// The log in the temporary folder: a refused run's lines, and a run's lines that its own run log
// would not take.
inline constexpr std::string_view kTemporaryLogName = "koravane-uninstall.log";

// The run log of one install root (relative or empty: against the current directory), where it
// lies worked out once. Every line of a run goes through it.
class RunLog {
 public:
  explicit RunLog(std::string_view install_root);
  // Appends message and a line feed, making the folder first when it is missing. Never fails from
  // the caller's side: a line the run log will not take (held by another program, say) goes to
  // the temporary folder's log, after the run's first line, so that it says whose it is.
  void append(std::string_view message) const;
  // Why the first line the run log would not take did not go (another program holds it, it is a
  // folder, it is read-only); none while every line went. Such a log is not the run's own: a
  // removal leaves it to be named like anything another program holds.
  std::optional<uint32_t> write_error() const { return write_error_; }

 private:
  std::string folder_;
  std::string file_;
  // Written by one thread at a time: the run's, or the removal's while the run waits for it.
  mutable std::string first_line_;
  mutable std::optional<uint32_t> write_error_;
};

// The same for a line under install_root.
void append_run_log(std::string_view install_root, std::string message);

// Appends message and a line feed to the file at file_path (created when missing); the folder
// must exist. Whether both were written.
[[nodiscard]] bool append_log_line(std::string_view file_path, std::string_view message);

// Appends a line to the temporary folder's log; a line it will not take is dropped.
void append_temporary_log(std::string_view message);

// The log text of a Win32 error: the system's message, trailing white space removed, then
// " (os error N)"; or the fallback when the system has no message for it.
std::string os_error_text(uint32_t code);

// "fail {subject}: {error text}", the line of everything that did not go as asked; subject is a
// path or an entry name, shown as display text.
std::string fail_line(std::string_view subject, std::string_view error_text);
std::string fail_line(std::string_view subject, uint32_t code);

// The portable halves of os_error_text.
std::string format_os_error(std::string_view system_message, uint32_t code);
std::string format_message_failure(uint32_t code, uint32_t format_error);

}  // namespace koravane
