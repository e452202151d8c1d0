#include "selfdelete/script_text.h"

#include "platform/os_text.h"

namespace koravane {
namespace {

std::string per_path_line(const std::string& p) {
  return "if exist \"" + p + "\\*\" (rd /s /q \"" + p + "\") else if exist \"" + p +
         "\" (del /f /q \"" + p + "\" & rd /s /q \"" + p + "\" 2>nul)";
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

std::vector<std::string> script_lines(const std::vector<std::string>& paths, bool with_code_page_line) {
  std::vector<std::string> lines = {"@echo off"};
  if (with_code_page_line) lines.push_back("chcp 65001 >nul");
  lines.insert(lines.end(), {"timeout /t 2 /nobreak >nul",
                             "taskkill /F /IM KoraVane.exe /T >nul 2>&1",
                             "taskkill /F /IM Update.exe /T >nul 2>&1",
                             // Without /T: this interpreter is a child of the uninstaller, and
                             // ending the uninstaller's tree would end the script with it.
                             "taskkill /F /IM Uninstall.exe >nul 2>&1"});
  for (const std::string& path : paths) lines.push_back(per_path_line(script_path_text(path)));
  lines.push_back("del /f /q \"%~f0\" >nul 2>&1");
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

std::string script_bytes(const std::vector<std::string>& paths, const OemEncoder& to_oem) {
  // The fixed lines are ASCII, which every OEM code page holds, so the whole text converts
  // without loss exactly when every path text does.
  if (std::optional<std::string> oem = to_oem(join_script_lines(script_lines(paths, false)))) {
    return std::move(*oem);
  }
  return join_script_lines(script_lines(paths, true));
}

}  // namespace koravane
