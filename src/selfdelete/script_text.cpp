#include "selfdelete/script_text.h"

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

std::optional<std::string> script_spelling(const DeferredPath& deferred) {
  if (fits_plain(deferred.path, deferred.below)) return deferred.path;
  if (deferred.short_form && fits_plain(*deferred.short_form, deferred.below)) return deferred.short_form;
  std::optional<std::string> verbatim = verbatim_form(deferred.path);
  if (!verbatim) return std::nullopt;
  const std::string line = per_path_line(script_path_text(*verbatim));
  if (utf16_from_wtf8(line).size() > kBatchLineLimit) return std::nullopt;
  return verbatim;
}

std::string self_deletion_line(std::string_view script_folder, std::string_view script_name) {
  if (script_folder.find('%') == std::string_view::npos) return std::string(kDeleteScriptByFullPath);
  return "del /f /q \".\\" + std::string(script_name) + "\" >nul 2>&1";
}

std::vector<std::string> script_lines(const std::vector<std::string>& paths, const ScriptOwner& owner,
                                      bool with_code_page_line, std::string_view last_line) {
  // Whatever the person's command-processor settings say: with delayed expansion on, cmd would
  // take a '!' in a path for a variable and act on another folder; %~f0 needs the extensions.
  std::vector<std::string> lines = {"@echo off", "setlocal EnableExtensions DisableDelayedExpansion"};
  if (with_code_page_line) lines.push_back("chcp 65001 >nul");
  // The interpreter's input is the null device, which timeout refuses at once instead of
  // waiting: it reads the console the interpreter runs in.
  lines.push_back("timeout /t 2 /nobreak <con >nul");
  if (owner.launcher_by_image) lines.push_back("taskkill /F /IM KoraVane.exe /T >nul 2>&1");
  lines.push_back(owner_line(owner));
  for (const std::string& path : paths) lines.push_back(per_path_line(script_path_text(path)));
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

std::string script_bytes(const std::vector<std::string>& paths, const ScriptOwner& owner,
                         const OemEncoder& to_oem, std::string_view last_line) {
  // Every line but the paths' and the owner's image name is ASCII, which every OEM code page
  // holds, so the whole text converts without loss exactly when those do.
  if (std::optional<std::string> oem =
          to_oem(join_script_lines(script_lines(paths, owner, false, last_line)))) {
    return std::move(*oem);
  }
  return join_script_lines(script_lines(paths, owner, true, last_line));
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
