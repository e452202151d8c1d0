#include "ui/dialogs_win.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ui/ui_window_win.h"

namespace koravane {

UiWindowHandle create_removal_choice_window() {
  UiWindowSetup setup;
  setup.removal_style = true;
  setup.caption = "KoraVane \u2014 удаление";
  setup.heading = "Что удалить?";
  setup.body = "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
              "Удалить всё \u2014 папка установки и настройки входа.";
  setup.layout = UiLayout::choice;
  setup.primary_label = "Только лаунчер";
  setup.cancel_label = "Отмена";
  setup.alternate_label = "Удалить всё";
  return create_ui_window(setup);
}

UiOutcome ask_removal_choice() { return run_modal(create_removal_choice_window()); }

UiResult show_removal_choice() { return ask_removal_choice().result; }

namespace {

// The message with the longest form of its path that lets the whole text show.
std::string fitting_body(const NoticeMessage& message) {
  const std::vector<std::string> bodies = notice_bodies(message);
  const auto fits = std::find_if(bodies.begin(), bodies.end(),
                                 [](const std::string& body) { return body_fits(UiLayout::notice, body); });
  return fits != bodies.end() ? *fits : bodies.back();
}

}  // namespace

UiWindowHandle create_notice_window(const NoticeMessage& message, std::optional<UiPlace> centre) {
  // A message without a path is shown as it is, whatever its length.
  const std::string body = message.path.empty() ? notice_bodies(message).front() : fitting_body(message);
  UiWindowSetup setup;
  setup.caption = "KoraVane";
  setup.heading = "KoraVane";
  setup.body = body;
  setup.layout = UiLayout::notice;
  setup.primary_label = "Закрыть";
  setup.centre = centre;
  return create_ui_window(setup);
}

void show_notice(const NoticeMessage& message, std::optional<UiPlace> centre) {
  run_modal(create_notice_window(message, centre));  // the notice asks nothing
}

}  // namespace koravane
