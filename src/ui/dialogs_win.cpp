#include "ui/dialogs_win.h"

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

UiWindowHandle create_notice_window(std::string_view message, std::optional<UiPlace> centre) {
  const std::string body = prepare_notice_body(message);
  UiWindowSetup setup;
  setup.caption = "KoraVane";
  setup.heading = "KoraVane";
  setup.body = body;
  setup.layout = UiLayout::notice;
  setup.primary_label = "Закрыть";
  setup.centre = centre;
  return create_ui_window(setup);
}

void show_notice(std::string_view message, std::optional<UiPlace> centre) {
  run_modal(create_notice_window(message, centre));  // the notice asks nothing
}

}  // namespace koravane
