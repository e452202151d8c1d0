#include "selfdelete/script_text.h"

#include <algorithm>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

constexpr std::string_view kDefaultImageName = "Uninstall.exe";

std::string per_path_line(const std::string& p) {
  return "if exist \"" + p + "\\*\" (rd /s /q \"" + p + "\") else if exist \"" + p +
         "\" (del /f /q \"" + p + "\" & rd /s /q \"" + p + "\" 2>nul)";
}

// By process id only: other programs named like the uninstaller are none of its business.
std::string owner_line(const ScriptOwner& owner) {
  const std::string image =
      script_path_text(owner.image_name.empty() ? kDefaultImageName : owner.image_name);
  return "taskkill /F /PID " + std::to_string(owner.process_id) + " /FI \"IMAGENAME eq " + image +
         "\" >nul 2>&1";
}

}  // namespace

std::string script_file_name(uint32_t process_id) {
  return "koravane-uninstall-" + std::to_string(process_id) + ".cmd";
}

std::string script_path_text(std::string_view path) {
  std::string out;
  for (const char c : display_text(path)) {
    if (c == '"') continue;
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

bool fits_plain(std::string_view path, size_t below) {
  return utf16_from_wtf8(path).size() + below <= kPlainPathLimit;
}

std::optional<std::string> verbatim_form(std::string_view path) {
  if (!is_fully_qualified(path)) return std::nullopt;
  const std::string normal = lexically_normal(path);
  if (normal.starts_with("\\\\?\\")) return normal;
  const std::string plain = without_namespace_prefix(normal);
  if (plain.size() >= 2 && plain[1] == ':') return "\\\\?\\" + plain;
  if (plain.size() > 2 && plain[2] != '.' && plain[2] != '?') return "\\\\?\\UNC\\" + plain.substr(2);
  return "\\\\?\\" + plain.substr(4);  // another device (a volume by its GUID): same name, other prefix
}

std::optional<ExactConversion> exact_conversion(uint32_t code_page) {
  constexpr uint32_t kUtf8 = 65001;
  constexpr uint32_t kGb18030 = 54936;
  const bool no_flags = code_page == 65000 || code_page == 42 || (code_page >= 50220 && code_page <= 50229) ||
                        (code_page >= 57002 && code_page <= 57011);
  if (no_flags) return std::nullopt;
  if (code_page == kUtf8 || code_page == kGb18030) return ExactConversion{kErrorInvalidChars, false};
  return ExactConversion{kNoBestFitChars, true};
}

bool script_can_spell(std::string_view path, const OemEncoder& to_oem) {
  return display_text(path) == path && to_oem(path).has_value();
}

OsResult<std::string> script_spelling(const DeferredPath& deferred, const OemEncoder& to_oem) {
  const bool spelled = script_can_spell(deferred.path, to_oem);
  if (spelled && fits_plain(deferred.path, deferred.below)) return deferred.path;
  const std::optional<std::string>& short_form = deferred.short_form;
  if (short_form && fits_plain(*short_form, deferred.below) && script_can_spell(*short_form, to_oem)) {
    return *short_form;
  }
  if (!spelled) return OsError{script_code::kNoUnicodeTranslation};
  std::optional<std::string> verbatim = verbatim_form(deferred.path);
  if (!verbatim) return OsError{script_code::kFilenameTooLong};
  const std::string line = per_path_line(script_path_text(*verbatim));
  if (utf16_from_wtf8(line).size() > kBatchLineLimit) return OsError{script_code::kFilenameTooLong};
  return std::move(*verbatim);
}

std::string self_deletion_line(std::string_view script_folder, std::string_view script_name) {
  if (script_folder.find('%') == std::string_view::npos) return std::string(kDeleteScriptByFullPath);
  return "del /f /q \".\\" + std::string(script_name) + "\" >nul 2>&1";
}

std::vector<std::string> script_lines(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                      std::string_view last_line) {
  // Whatever the person's command-processor settings say: with delayed expansion on, cmd would
  // take a '!' in a path for a variable and act on another folder; %~f0 needs the extensions.
  std::vector<std::string> lines = {"@echo off", "setlocal EnableExtensions DisableDelayedExpansion"};
  // The interpreter's input is the null device, which timeout refuses at once instead of
  // waiting: it reads the console the interpreter runs in.
  lines.push_back("timeout /t 2 /nobreak <con >nul");
  if (owner.launcher_by_image) lines.push_back("taskkill /F /IM KoraVane.exe /T >nul 2>&1");
  lines.push_back(owner_line(owner));
  for (const std::string& path : paths) lines.push_back(per_path_line(script_path_text(path)));
  // Without "/s": only while it holds nothing, as the owner made it.
  if (!owner.working_folder.empty()) {
    lines.push_back("rd \"" + script_path_text(owner.working_folder) + "\" >nul 2>&1");
  }
  lines.push_back(std::string(last_line));
  return lines;
}

std::string join_script_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::string image_spelling(std::string_view image_name, const OemEncoder& to_oem) {
  if (image_name.empty()) return std::string(kDefaultImageName);
  if (script_can_spell(image_name, to_oem)) return std::string(image_name);
  std::string spelled;  // its first characters that the script can spell
  for (const char32_t point : code_points(image_name)) {
    const std::string character = utf8_from_code_points(std::u32string_view(&point, 1));
    if (!script_can_spell(character, to_oem)) break;
    spelled += character;
  }
  if (spelled.empty()) return std::string(kDefaultImageName);
  return spelled + "*";
}

std::optional<std::string> script_bytes(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                        const OemEncoder& to_oem, std::string_view last_line) {
  const auto spelled_whole = [&to_oem](const std::string& path) { return script_can_spell(path, to_oem); };
  if (!std::all_of(paths.begin(), paths.end(), spelled_whole)) return std::nullopt;
  ScriptOwner spelled = owner;
  spelled.image_name = image_spelling(owner.image_name, to_oem);
  if (!script_can_spell(owner.working_folder, to_oem)) spelled.working_folder.clear();  // the run removes it
  // Every other line is ASCII, which every OEM code page holds.
  return to_oem(join_script_lines(script_lines(paths, spelled, last_line)));
}

ChildCommand interpreter_command(uint32_t process_id, std::string_view script_folder) {
  ChildCommand interpreter{"cmd"};
  // /D: no AutoRun commands first (one that changes the folder or the code page would lose the
  // script); /V:OFF: no delayed expansion, whatever the registry says.
  interpreter.arg("/D").arg("/V:OFF").arg("/C").arg(".\\" + script_file_name(process_id));
  interpreter.creation_flags = kCreateNoWindow;
  // The script outlives the uninstaller: nothing it was handed (an output redirected into the
  // install root, say) may stay open in the interpreter.
  interpreter.standard_input = StdioDisposition::null_device;
  interpreter.standard_output = StdioDisposition::null_device;
  interpreter.standard_error = StdioDisposition::null_device;
  interpreter.inheritance = HandleInheritance::standard_handles_only;
  interpreter.working_directory = std::string(script_folder);
  return interpreter;
}

}  // namespace koravane
