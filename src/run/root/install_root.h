#pragma once
// Which folder is the install root: the executable's own folder when it carries launcher evidence,
// else the target's folder, else the current directory, else ".". Found once, with its absolute
// form and its evidence, into the value every step of the run borrows. What says a folder is a
// launcher's: its entries; for the executable's own folder also its run log naming it, or the
// uninstall registration naming it.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/env.h"
#include "platform/files/path_identity.h"
#include "platform/basics/result.h"
#include "platform/context/run_context.h"
#include "run/command_line/command_line.h"

namespace koravane {

// What the search needs from the system, injected so the rules can be checked without Windows.
class RootProbe {
 public:
  virtual ~RootProbe() = default;
  virtual OsResult<std::string> current_directory() const = 0;
  // True when the path names a file or folder, links followed.
  virtual bool exists(const std::string& path) const = 0;
  // Calls visit with each entry of folder as its listing gives it, links unresolved ("." and ".."
  // never), until visit returns true.
  virtual ListingStatus list_entries(const std::string& folder,
                                     const std::function<bool(const ListedEntry& entry)>& visit) const = 0;
  // The last max_bytes bytes of a file (all of a shorter one), or nothing when it cannot be read.
  virtual std::optional<std::string> read_file_tail(const std::string& path, size_t max_bytes) const = 0;
  // The path made absolute against the current directory, or nothing when the system cannot say.
  virtual std::optional<std::string> absolute_path(const std::string& path) const = 0;
  // What an absolute path names, as the system resolves it, or nothing when it cannot be opened.
  virtual std::optional<std::string> final_path(const std::string& absolute) const = 0;
  // The file or folder an absolute path names, links followed; nothing when it cannot be opened.
  virtual std::optional<FileIdentity> identity(const std::string& absolute) const = 0;
  // The folder the uninstall registration names as the install's, if it names one.
  virtual std::optional<std::string> registered_root() const = 0;
};

// "current.json" or "app-current" in folder, or any entry whose name begins with "app-": what
// marks the executable's own folder, where this program was laid by the install.
bool has_root_markers(std::string_view folder, const RootProbe& probe);

// What marks a folder reached only by a fallback: an entry of a kind the launcher makes, which
// no other program's folder has by accident (see is_launcher_evidence).
bool has_launcher_entry(std::string_view folder, const RootProbe& probe);

// How much of the end of a run log is searched for a start line.
inline constexpr size_t kRunLogEvidenceBytes = 1 << 20;

// A folder as decisions about it see it: both forms, and what it is where it can be opened.
struct FolderPlace {
  PathForms forms;
  std::optional<FileIdentity> identity;
};

// Whether other, a root that a run log or the registration names, is folder: the same text as
// either form, or the same folder when opened. Only a fully qualified path names one folder
// whatever the current directory was.
bool names_folder(std::string_view other, const FolderPlace& folder, const RootProbe& probe);

// The roots that this program's start lines and kept-registration lines in log_text name, each
// once (by text), in the order met.
std::vector<std::string> logged_roots(std::string_view log_text);

// Whether log_text holds a start line or a kept-registration line of this program whose root is
// folder (see names_folder). A removal ended by force leaves the root without its markers but
// with this line.
bool run_log_names_root(std::string_view log_text, const FolderPlace& folder, const RootProbe& probe);

// Where the folder came from decides what counts: the executable's folder takes any marker, its
// run log and the registration naming it; a fallback only a launcher entry, since the way back
// always starts the uninstaller kept inside the root.
enum class EntryRule { markers, launcher_entries };

// Entries in folder by the rule; for the executable's folder, else its own run log naming it, else
// the registration naming it (forms: folder made absolute, with its final form; none when the
// system cannot say, and then neither can name it); else none.
LauncherEvidence launcher_evidence(std::string_view folder, const std::optional<PathForms>& forms,
                                   const RootProbe& probe, EntryRule rule = EntryRule::markers);

// The root for these options, given this program's path as the system reported it.
InstallRoot find_install_root(const LaunchOptions& options, const OsResult<std::string>& executable,
                              const RootProbe& probe);

// Windows only: reads the working folder and this program's own path once, finds the root and
// opens the run's context.
RunContext start_run(const LaunchOptions& options);

}  // namespace koravane
