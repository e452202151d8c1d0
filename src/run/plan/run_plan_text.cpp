#include "run/plan/run_plan_text.h"

#include <bit>
#include <iterator>
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

// The first sentence of a notice after a removal that left files that programs hold.
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

// What a notice says of a reason among others: its sentence; alone, advice after it; and how to
// finish once the removal can be started again (the way back was kept). A world the bin refused
// is told by a sentence that counts them; programs holding files alone, by the text above.
struct ReasonText {
  std::string_view sentence;
  std::string_view advice;
  std::string_view again;
};

// In the order of StayReason.
constexpr ReasonText kReasonTexts[] = {
    {"", "", " Перенесите их в другое место и запустите удаление снова."},
    {" Часть файлов занята программами: закройте их.", "", ""},
    {" К некоторым файлам и папкам нет доступа.", " Возможно, у вас нет прав на них.", " Получите доступ и запустите удаление снова."},
    {" Ссылки остались; то, куда они ведут, цело.", "", " Удалите их вручную и запустите удаление снова."},
    {" Длинные и необычные пути удалите вручную.", " Путь слишком длинный или в имени есть редкие знаки.", ""},
    {"", "", " Запустите удаление снова."},
};

constexpr auto kWorld = static_cast<size_t>(StayReason::world);
constexpr auto kOther = static_cast<size_t>(StayReason::other);

// One bit for each reason, by its place in StayReason. A removal that named nothing that stayed (a
// shortcut held open, say) is taken as held by a program, as such a one most often is.
unsigned reasons_of(const RemovalOutcome& outcome, std::string_view root) {
  unsigned reasons = outcome.stayed.empty() ? 1u << static_cast<unsigned>(StayReason::held) : 0u;
  for (const StayedEntry& entry : outcome.stayed) {
    reasons |= 1u << static_cast<unsigned>(stay_reason(entry, root, outcome.programs_left));
  }
  return reasons;
}

}  // namespace

NoticeMessage removal_notice(RemovalMode mode, const RemovalOutcome& outcome, std::string_view root) {
  const std::string recycled = outcome.worlds_recycled > 0 ? " " + worlds_recycled_text(outcome.worlds_recycled) : "";
  if (outcome.complete && !outcome.way_back_kept) {
    if (mode == RemovalMode::full) return plain_notice("Удалено всё в папке установки." + recycled);
    return plain_notice(outcome.other_entries_kept ? "Лаунчер удалён. Файлы Minecraft в папке сохранены."
                                                   : "Лаунчер удалён.");
  }
  // "» и ещё 3." after the first entry that stayed.
  std::string told;
  if (!outcome.stayed.empty()) {
    told = "»";
    if (outcome.stayed.size() > 1) told.append(" и ещё ").append(std::to_string(outcome.stayed.size() - 1));
    told.append(".");
  }
  const unsigned reasons = reasons_of(outcome, root);
  std::string lead;
  std::vector<std::string> afters;  // what follows the path, briefest first
  if (reasons == 1u << static_cast<unsigned>(StayReason::held)) {
    // Programs hold what stayed: the text as it has always been.
    lead = partial_lead(mode, outcome.way_back_kept);
    afters.push_back(told.append(partial_ending(mode, outcome.way_back_kept)));
  } else {
    // Each reason's sentence, most important first; for one alone, its advice; then how to finish.
    // Briefer forms leave out the advice, or the least important reasons, one by one.
    lead = mode == RemovalMode::launcher_only ? "Лаунчер удалён не полностью." : "Удалено не всё.";
    for (size_t i = 0; i < std::size(kReasonTexts); ++i) {
      if ((reasons & (1u << i)) == 0 || (i != kWorld && kReasonTexts[i].sentence.empty())) continue;
      if (i == kWorld) told.append(" ").append(worlds_refused_text(outcome.worlds_recycled, outcome.worlds_kept));
      else told.append(kReasonTexts[i].sentence);
      afters.push_back(told);
    }
    const bool alone = (reasons & (reasons - 1)) == 0;
    const ReasonText& first = kReasonTexts[static_cast<size_t>(std::countr_zero(reasons))];
    if (afters.empty() || (alone && !first.advice.empty())) afters.push_back(told.append(first.advice));
    const std::string_view again = !outcome.way_back_kept ? "" : alone ? first.again : kReasonTexts[kOther].again;
    for (std::string& after : afters) after.append(again);
  }
  // The worlds the bin took, unless the worlds' own sentence says so.
  if (outcome.worlds_kept == 0) {
    for (std::string& after : afters) after.append(recycled);
  }
  if (outcome.stayed.empty()) return plain_notice(lead + afters.back());
  NoticeMessage message{lead + " Осталось: «", display_text(outcome.stayed.front().path), afters.back(), std::string(root),
                        {afters.rbegin() + 1, afters.rend()}};
  return message;
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
