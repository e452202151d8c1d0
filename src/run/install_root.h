#pragma once
// Which folder is the install root: the executable's own folder when it carries a launcher
// marker, else the target's folder, else the current directory, else ".".
#include <functional>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "run/command_line.h"

namespace koravane {

// Where the root came from; only the executable's folder is known to hold launcher files.
enum class RootSource { executable_folder, target, current_directory, dot };

struct InstallRoot {
  std::string path;  // lossless system text
  RootSource source;
};

// What the search needs from the system, injected so the rules can be checked without Windows.
class RootProbe {
 public:
  virtual ~RootProbe() = default;
  virtual OsResult<std::string> executable_path() const = 0;
  virtual OsResult<std::string> current_directory() const = 0;
  // True when the path names a file or folder, links followed.
  virtual bool exists(const std::string& path) const = 0;
  // Calls visit with each entry name of folder ("." and ".." never) until visit returns true.
  // A listing that fails, at the start or part-way, simply ends.
  virtual void list_entries(const std::string& folder,
                            const std::function<bool(std::string_view name)>& visit) const = 0;
};

// "current.json" or "app-current" in folder, or any entry whose name begins with "app-".
bool has_root_markers(std::string_view folder, const RootProbe& probe);
InstallRoot find_install_root(const LaunchOptions& options, const RootProbe& probe);

// The same on the running system.
bool has_root_markers(std::string_view folder);
InstallRoot find_install_root(const LaunchOptions& options);

}  // namespace koravane
