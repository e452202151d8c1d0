#include "ui/dialogs_win.h"

#include "ui/ui_window_win.h"

namespace koravane {

UiWindowHandle create_removal_choice_window() {
  UiWindowSpec spec;
  spec.removal_style = true;
  spec.caption = "KoraVane \u2014 удаление";
  spec.heading = "Что удалить?";
  spec.body = "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
              "Удалить всё \u2014 папка установки и настройки входа.";
  spec.layout = UiLayout::choice;
  spec.primary_label = "Только лаунчер";
  spec.cancel_label = "Отмена";
  spec.alternate_label = "Удалить всё";
  return create_ui_window(spec);
}

UiOutcome ask_removal_choice() { return run_modal(create_removal_choice_window()); }

UiResult show_removal_choice() { return ask_removal_choice().result; }

UiWindowHandle create_notice_window(std::string_view message, std::optional<UiPlace> centre) {
  const std::string body = prepare_notice_body(message);
  UiWindowSpec spec;
  spec.caption = "KoraVane";
  spec.heading = "KoraVane";
  spec.body = body;
  spec.layout = UiLayout::notice;
  spec.primary_label = "Закрыть";
  spec.centre = centre;
  return create_ui_window(spec);
}

void show_notice(std::string_view message, std::optional<UiPlace> centre) {
  run_modal(create_notice_window(message, centre));  // the notice asks nothing
}

}  // namespace koravane
