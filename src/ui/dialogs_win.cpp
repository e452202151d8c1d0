#include "ui/dialogs_win.h"

#include "ui/ui_window_win.h"

namespace koravane {

UiWindowHandle create_removal_choice_window() {
  return create_ui_window(true, "KoraVane \u2014 удаление", "Что удалить?",
                          "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
                          "Удалить всё \u2014 папка установки и настройки входа.",
                          UiLayout::choice, "Только лаунчер", "Отмена", "Удалить всё");
}

UiResult show_removal_choice() {
  UiWindowHandle handle = create_removal_choice_window();
  run_message_loop(handle.window);
  const UiResult choice = read_result(handle.result);
  release_ui_window(std::move(handle.record));
  handle.result.reset();
  return choice;
}

UiWindowHandle create_notice_window(std::string_view message) {
  return create_ui_window(false, "KoraVane", "KoraVane", prepare_notice_body(message), UiLayout::notice,
                          "Закрыть", "", std::nullopt);
}

void show_notice(std::string_view message) {
  UiWindowHandle handle = create_notice_window(message);
  handle.result.reset();  // the notice asks nothing
  run_message_loop(handle.window);
  release_ui_window(std::move(handle.record));
}

}  // namespace koravane
