#pragma once
// Install-root safety: a run never removes a folder that is not a launcher install root.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context/run_context.h"
#include "platform/files/links.h"
#include "ui/notice_text.h"

namespace koravane {

enum class RefusalReason { no_launcher_files, protected_folder };

// "no launcher files" or "protected folder", as written into the refusal line.
std::string_view refusal_reason_text(RefusalReason reason);

// True for a drive root (C:\) or a UNC share root (\\server\share).
bool is_volume_root(std::string_view comparable);

// The root is refused when it came from a fallback and carries no launcher evidence, or when
// either of its forms (absolute, final) is, or contains, a protected folder in either of that
// folder's forms, or is a volume root.
std::optional<RefusalReason> refusal_reason(const InstallRoot& root,
                                            const std::vector<PathForms>& protected_folders);

// What resolving a folder's final form needs of the system.
class FolderResolver {
 public:
  virtual ~FolderResolver() = default;
  // The attributes and tag of path as its folder lists it (a link's own, not its target's);
  // nothing when there is no such entry.
  virtual std::optional<EntryKind> attributes(const std::string& path) const = 0;
  // What path names, links followed; nothing when it cannot be opened.
  virtual std::optional<std::string> final_path(const std::string& path) const = 0;
};

// Each folder with its final form, in the order given, opening as few as it must: a folder below
// another of them takes the final form of the nearest such and the rest of its own spelling,
// where no component on the way is a link (see is_link in links.h: a synced Documents folder is
// none) or may be an 8.3 name ('~'); any
// other is opened. One that cannot be opened stands for itself.
std::vector<PathForms> resolve_folders(const std::vector<std::string>& folders, const FolderResolver& resolver);

// Windows only: every folder no uninstaller may remove whole, each with what it names (a moved
// or linked folder included), resolved once per run: the system's whole list of known folders
// (those it cannot resolve at their usual places), the profiles, the public profile, ProgramData,
// the Windows, program and temporary folders, the per-user programs folder.
std::vector<PathForms> protected_folders();

// "refused root={root}: {reason}"
std::string refusal_line(std::string_view install_root, RefusalReason reason);
// The notice shown instead of the dialog: a protected folder holds the person's other files, any
// other refused folder does not look like an install.
NoticeMessage refusal_notice(std::string_view install_root, RefusalReason reason);

}  // namespace koravane
