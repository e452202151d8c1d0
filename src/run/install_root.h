#pragma once
// Which folder is the install root: the executable's own folder when it carries launcher evidence,
// else the target's folder, else the current directory, else ".". Found once, with its absolute
// form and its evidence, into the value every step of the run borrows.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/env.h"
#include "platform/basics/result.h"
#include "platform/context/run_context.h"
#include "run/command_line.h"

namespace koravane {

// What the search needs from the system, injected so the rules can be checked without Windows.
class RootProbe {
 public:
  virtual ~RootProbe() = default;
  virtual OsResult<std::string> current_directory() const = 0;
  // True when the path names a file or folder, links followed.
  virtual bool exists(const std::string& path) const = 0;
  // Calls visit with each entry name of folder ("." and ".." never) until visit returns true.
  virtual ListingStatus list_entries(const std::string& folder,
                                     const std::function<bool(std::string_view name)>& visit) const = 0;
  // The last max_bytes bytes of a file (all of a shorter one), or nothing when it cannot be read.
  virtual std::optional<std::string> read_file_tail(const std::string& path, size_t max_bytes) const = 0;
  // The path made absolute against the current directory, or nothing when the system cannot say.
  virtual std::optional<std::string> absolute_path(const std::string& path) const = 0;
  // What an absolute path names, as the system resolves it, or nothing when it cannot be opened.
  virtual std::optional<std::string> final_path(const std::string& absolute) const = 0;
};

// "current.json" or "app-current" in folder, or any entry whose name begins with "app-".
bool has_root_markers(std::string_view folder, const RootProbe& probe);

// How much of the end of a run log is searched for a start line.
inline constexpr size_t kRunLogEvidenceBytes = 1 << 20;

// Whether log_text holds a start line of this program whose root, written as an absolute path,
// is folder in either of its forms (compared as path text). A removal ended by force leaves the
// root without its markers but with this line.
bool run_log_names_root(std::string_view log_text, const PathForms& folder);

// Launcher markers in folder, else its own run log naming it (forms: folder made absolute, with
// its final form; none when the system cannot say, and then no log can name it), else none.
LauncherEvidence launcher_evidence(std::string_view folder, const std::optional<PathForms>& forms,
                                   const RootProbe& probe);

// The root for these options, given this program's path as the system reported it.
InstallRoot find_install_root(const LaunchOptions& options, const OsResult<std::string>& executable,
                              const RootProbe& probe);

// Windows only: reads this program's own path once, finds the root and opens the run's context.
RunContext start_run(const LaunchOptions& options);

}  // namespace koravane
