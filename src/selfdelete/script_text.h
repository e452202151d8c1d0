#pragma once
// The text of the self-deletion batch script and the interpreter command that runs it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/text/path_text.h"

namespace koravane {

// "koravane-uninstall-{pid}.cmd"
std::string script_file_name(uint32_t process_id);

// The uninstaller that hands over the paths. The script ends it if it is still running once the
// script's wait is over, by its id; the image name keeps a reused id from hitting another program.
struct ScriptOwner {
  uint32_t process_id = 0;
  std::string image_name;  // the executable's file name, "Uninstall.exe" when unknown
  // Whether the script may also end every "KoraVane.exe" by image name: only while each one
  // running is this install's. Otherwise its line is left out, and another install's launcher
  // (and, through "/T", its game) runs on.
  bool launcher_by_image = true;
};

// A path as the script writes it between quotes: display text, double quotes removed (they
// cannot be escaped inside a quoted batch word) and every '%' doubled, so that the interpreter
// does not expand it into a different path.
std::string script_path_text(std::string_view path);

// The longest line cmd reads from a batch file.
inline constexpr size_t kBatchLineLimit = 8191;

// What the run knows of a deferred path when it writes the script. Lengths count UTF-16 units,
// as the system does.
struct DeferredPath {
  std::string path;  // absolute, as the run spells it
  // The longest spelling below path, beyond path itself, that the script's line reaches: for a
  // folder at least "\*" (its test), or the longest "\name\..." of its entries; none for a file.
  size_t below = 0;
  std::optional<std::string> short_form;  // its 8.3 spelling, where the volume has one
};

// Whether the script names path as it is: its line reaches nothing longer than cmd's plain limit.
bool fits_plain(std::string_view path, size_t below);

// The path as the script names it: as it is where it fits; else its 8.3 form where that fits,
// which every cmd takes; else its "\\?\" form, which Windows' cmd takes past the plain limit,
// while the line holds it (five times); else none: the script cannot remove it.
std::optional<std::string> script_spelling(const DeferredPath& deferred);

// The "\\?\" form of a fully qualified path ("C:\x" is "\\?\C:\x", "\\srv\share" is
// "\\?\UNC\srv\share"), "." and ".." resolved first, since that form is taken as written;
// none for a relative path.
std::optional<std::string> verbatim_form(std::string_view path);

// The script's last line when it may name itself by its full path.
inline constexpr std::string_view kDeleteScriptByFullPath = "del /f /q \"%~f0\" >nul 2>&1";

// The script's last line, deleting the script named script_name in script_folder: by its full
// path, "%~f0", unless the folder holds a '%', which cmd may expand once more inside what %~f0
// gives (Wine's does); then by its name in the folder it runs in.
std::string self_deletion_line(std::string_view script_folder, std::string_view script_name);

// The script's lines; with_code_page_line switches the interpreter to UTF-8 right after
// "@echo off".
std::vector<std::string> script_lines(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                      bool with_code_page_line,
                                      std::string_view last_line = kDeleteScriptByFullPath);

// Lines joined by CR LF, nothing after the last.
std::string join_script_lines(const std::vector<std::string>& lines);

// The OEM code page form of a UTF-8 text, or nothing when some character has none.
using OemEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// The script file's bytes. A new console decodes a batch file in the OEM code page, so the
// script is written in it whenever every path converts without loss; otherwise it is UTF-8 with
// a code-page switch at its top.
std::string script_bytes(const std::vector<std::string>& paths, const ScriptOwner& owner,
                         const OemEncoder& to_oem, std::string_view last_line = kDeleteScriptByFullPath);

// The hidden interpreter for the script of process_id, started in the script's own folder and
// given it by its name there (".\koravane-uninstall-{pid}.cmd"). The folder's path never reaches
// cmd's command line, where cmd would act on characters a folder name may hold (& ^ ( ) % and
// more) by rules of its own; so one command line serves every folder. The person's AutoRun
// commands and delayed expansion stay off, and the interpreter holds none of our handles: its
// standard handles are the null device.
ChildCommand interpreter_command(uint32_t process_id, std::string_view script_folder);

}  // namespace koravane
