#include "run/plan/run_plan_text.h"

#include <string>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "ui/world_text.h"

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

namespace {

// The first sentence of a notice after a removal that left something.
std::string_view partial_lead(RemovalMode mode, bool way_back_kept) {
  if (mode == RemovalMode::launcher_only) {
    return "Лаунчер удалён не полностью: некоторые файлы заняты другими программами.";
  }
  return way_back_kept ? "Удалено не всё: некоторые файлы заняты другими программами."
                       : "Удалено не всё: некоторые файлы заняты другими программами и остались в папке установки.";
}

std::string_view partial_ending(RemovalMode mode, bool way_back_kept) {
  if (!way_back_kept) return "";
  return mode == RemovalMode::launcher_only ? " Закройте их и запустите удаление снова."
                                            : " Закройте их и запустите удаление снова, чтобы удалить остальное.";
}

// "» и ещё 3." after the first entry that stayed.
std::string more_stayed(const RemovalOutcome& outcome) {
  std::string text = "»";
  if (outcome.stayed.size() > 1) text += " и ещё " + std::to_string(outcome.stayed.size() - 1);
  return text + ".";
}

}  // namespace

NoticeMessage notice_message(RemovalMode mode, const RemovalOutcome& outcome) {
  if (outcome.complete && !outcome.way_back_kept) {
    if (mode == RemovalMode::full) return plain_notice("Удалено всё в папке установки.");
    return plain_notice(outcome.other_entries_kept ? "Лаунчер удалён. Файлы Minecraft в папке сохранены."
                                                   : "Лаунчер удалён.");
  }
  const std::string lead(partial_lead(mode, outcome.way_back_kept));
  const std::string ending(partial_ending(mode, outcome.way_back_kept));
  if (outcome.stayed.empty()) return plain_notice(lead + ending);
  return NoticeMessage{lead + " Осталось: «", display_text(outcome.stayed.front()), more_stayed(outcome) + ending};
}

NoticeMessage removal_notice(RemovalMode mode, const RemovalOutcome& outcome) {
  if (outcome.worlds_kept == 0 || outcome.stayed.empty()) {
    NoticeMessage message = notice_message(mode, outcome);
    message.after += worlds_notice_suffix(outcome.worlds_recycled, outcome.worlds_kept);
    return message;
  }
  std::string worlds = " Миры (" + std::to_string(outcome.worlds_kept) + ")";
  if (outcome.worlds_recycled > 0) {
    worlds = " Миры (" + std::to_string(outcome.worlds_recycled) + ") перемещены в корзину, миры (" +
             std::to_string(outcome.worlds_kept) + ")";
  }
  return NoticeMessage{"Удалено не всё. Осталось: «", display_text(outcome.stayed.front()),
                       more_stayed(outcome) + worlds +
                           " корзина не приняла: они остались в папке. Запустите удаление снова, чтобы удалить остальное."};
}

std::string_view stuck_line() { return "close KoraVane first: nothing was stopped or removed"; }

std::string_view stuck_notice() {
  return "Удаление не может продолжиться, пока открыт KoraVane. Закройте KoraVane и запустите удаление снова. "
         "Ничего не удалено.";
}

std::string_view under_way_line() {
  return "another removal of this install is under way: nothing was stopped or removed";
}

std::string_view under_way_notice() {
  return "Удаление KoraVane из этой папки уже идёт. Дождитесь, пока оно закончится.";
}

}  // namespace koravane
