#pragma once
// The text of the self-deletion batch script and the interpreter command that runs it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basics/result.h"
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
  // The owner's own working folder, as the script spells it: removed after the paths, while it
  // holds nothing. None where the owner has none of its own.
  std::string working_folder;
};

// The OEM code page form of a UTF-8 text, or nothing when some character has none.
using OemEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// How the system is asked to convert text into code_page so that a character without an exact
// form there fails the conversion: its flags, and whether it reports a default character used.
struct ExactConversion {
  uint32_t flags = 0;
  bool ask_used_default = false;
  bool operator==(const ExactConversion&) const = default;
};
inline constexpr uint32_t kNoBestFitChars = 0x400;  // WC_NO_BEST_FIT_CHARS
inline constexpr uint32_t kErrorInvalidChars = 0x80;  // WC_ERR_INVALID_CHARS
// UTF-8 (the OEM code page under "Beta: use Unicode UTF-8") and GB18030 hold every character,
// refuse the request for a default character (ERROR_INVALID_PARAMETER) and fail only on an
// unpaired surrogate; nothing for the code pages that take no flags at all (UTF-7, the ISO-2022
// and ISCII families, Symbol), which cannot tell.
std::optional<ExactConversion> exact_conversion(uint32_t code_page);

// A path as the script writes it between quotes: display text, double quotes removed (they
// cannot be escaped inside a quoted batch word) and every '%' doubled, so that the interpreter
// does not expand it into a different path.
std::string script_path_text(std::string_view path);

// The longest line cmd reads from a batch file.
inline constexpr size_t kBatchLineLimit = 8191;

// Why the script cannot name a path: no form of it fits (ERROR_FILENAME_EXCED_RANGE), or it holds a
// character outside the script's code page and has no 8.3 form (ERROR_NO_UNICODE_TRANSLATION).
namespace script_code {
inline constexpr uint32_t kFilenameTooLong = 206;
inline constexpr uint32_t kNoUnicodeTranslation = 1113;
}  // namespace script_code

// Whether the script's text names path exactly: it has a form in the script's code page, and no
// unpaired surrogate, which its display text would replace.
bool script_can_spell(std::string_view path, const OemEncoder& to_oem);

// What the run knows of a deferred path when it writes the script. Lengths count UTF-16 units,
// as the system does.
struct DeferredPath {
  std::string path;  // absolute, as the run spells it
  // The longest spelling below path, beyond path itself, that the script's line reaches: for a
  // folder at least "\*" (its test), or the longest "\name\..." of its entries; none for a file.
  size_t below = 0;
  // Its 8.3 spelling, where the volume has one; asked for only where the path is too long or has
  // a character outside the script's code page.
  std::optional<std::string> short_form;
};

// Whether the script names path as it is: its line reaches nothing longer than cmd's plain limit.
bool fits_plain(std::string_view path, size_t below);

// The path as the script names it: as it is where it fits and the script can spell it; else its
// 8.3 form where that fits and can be spelled, which every cmd takes; else its "\\?\" form, which
// Windows' cmd takes past the plain limit, while the line holds it (five times); else why the
// script cannot remove it (see script_code).
OsResult<std::string> script_spelling(const DeferredPath& deferred, const OemEncoder& to_oem);

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

// The script's lines.
std::vector<std::string> script_lines(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                      std::string_view last_line = kDeleteScriptByFullPath);

// Lines joined by CR LF, nothing after the last.
std::string join_script_lines(const std::vector<std::string>& lines);

// The owner's image name as the script can spell it: whole where it can, else as many of its
// first characters as it can, followed by "*" (a prefix taskkill's filter takes), else the usual
// "Uninstall.exe", which ends no other program.
std::string image_spelling(std::string_view image_name, const OemEncoder& to_oem);

// The script file's bytes in the OEM code page, in which the hidden interpreter's new console reads
// a batch file (Wine's cmd never honours a "chcp" switch); nothing when some path has no exact form
// there (see script_spelling).
std::optional<std::string> script_bytes(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                        const OemEncoder& to_oem,
                                        std::string_view last_line = kDeleteScriptByFullPath);

// The hidden interpreter for the script of process_id, started in the script's own folder and
// given it by its name there (".\koravane-uninstall-{pid}.cmd"). The folder's path never reaches
// cmd's command line, where cmd would act on characters a folder name may hold (& ^ ( ) % and
// more) by rules of its own; so one command line serves every folder. The person's AutoRun
// commands and delayed expansion stay off, and the interpreter holds none of our handles: its
// standard handles are the null device.
ChildCommand interpreter_command(uint32_t process_id, std::string_view script_folder);

}  // namespace koravane
