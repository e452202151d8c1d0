#include "run/run_plan_text.h"

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {

std::string start_line(bool quiet, std::string_view install_root) {
  std::string line = "Uninstall ";
  line += kLauncherVersion;
  line += " start quiet=";
  line += quiet ? "true" : "false";
  line += " root=";
  line += display_text(install_root);
  return line;
}

std::vector<std::string> opening_lines(bool quiet, const InstallRoot& root) {
  std::vector<std::string> lines{start_line(quiet, root.path)};
  if (forms_differ(root_forms(root))) lines.push_back("root is " + display_text(root.final));
  return lines;
}

namespace {

constexpr std::string_view kFinalMark = " final=";

}  // namespace

std::string way_back_line(std::string_view install_root, std::string_view final_root) {
  std::string line = "kept the uninstall registration for a second run: root=" + display_text(install_root);
  if (!final_root.empty() && !same_path(install_root, final_root)) {
    line += kFinalMark;
    line += display_text(final_root);
  }
  return line;
}

std::vector<std::string_view> kept_line_roots(std::string_view text) {
  std::vector<std::string_view> roots = {text};
  if (const size_t mark = text.rfind(kFinalMark); mark != std::string_view::npos) {
    roots.push_back(text.substr(0, mark));
    roots.push_back(text.substr(mark + kFinalMark.size()));
  }
  return roots;
}

std::string_view notice_message(RemovalMode mode, bool complete, bool way_back_kept) {
  if (way_back_kept) {
    return mode == RemovalMode::launcher_only
               ? "Лаунчер удалён не полностью: некоторые файлы заняты другими программами. "
                 "Закройте их и запустите удаление снова."
               : "Удалено не всё: некоторые файлы заняты другими программами. "
                 "Закройте их и запустите удаление снова, чтобы удалить остальное.";
  }
  if (mode == RemovalMode::launcher_only) {
    return complete ? "Лаунчер удалён. Файлы Minecraft в папке сохранены."
                    : "Лаунчер удалён не полностью: некоторые файлы заняты другими программами.";
  }
  return complete ? "Удалено всё в папке установки."
                  : "Удалено не всё: некоторые файлы заняты другими программами и остались в папке установки.";
}

std::string_view stuck_line() { return "close KoraVane first: nothing was stopped or removed"; }

std::string_view stuck_notice() {
  return "Удаление не может продолжиться, пока открыт KoraVane. Закройте KoraVane и запустите удаление снова. "
         "Ничего не удалено.";
}

}  // namespace koravane
