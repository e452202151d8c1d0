#include "ui/world_text.h"

#include <array>

namespace koravane {

std::string_view russian_plural(uint64_t count, std::string_view one, std::string_view few, std::string_view many) {
  const uint64_t tens = count % 100;
  const uint64_t units = count % 10;
  if (tens >= 11 && tens <= 14) return many;
  if (units == 1) return one;
  return units >= 2 && units <= 4 ? few : many;
}

std::string size_text(uint64_t bytes) {
  static constexpr std::array<std::string_view, 5> units = {"КБ", "МБ", "ГБ", "ТБ", "ПБ"};
  if (bytes == 0) return "0\u00A0КБ";
  if (bytes < 1024) return "1\u00A0КБ";
  // In hundredths of the unit, which stays below 1000 whole ones (as the system shows it).
  size_t unit = 0;
  uint64_t scale = 1024;
  while (unit + 1 < units.size() && bytes / scale >= 1000) {
    ++unit;
    scale *= 1024;
  }
  const uint64_t hundredths = bytes / (scale / 1024) * 100 / 1024;
  const uint64_t whole = hundredths / 100;
  uint64_t fraction = hundredths % 100;  // two digits below 10, one below 100, none above
  size_t digits = whole < 10 ? 2 : whole < 100 ? 1 : 0;
  if (digits == 1) fraction /= 10;
  while (digits > 0 && fraction % 10 == 0) {
    fraction /= 10;
    --digits;
  }
  std::string text = std::to_string(whole);
  if (digits > 0) {
    std::string decimals = std::to_string(fraction);
    text += ',' + std::string(digits - decimals.size(), '0') + decimals;
  }
  return text.append(kNoBreakSpace).append(units[unit]);
}

namespace {

// "3 мира": the count stays with its noun (its form for the count: one, few, many).
std::string& append_count(std::string& text, uint64_t count, std::string_view one, std::string_view few,
                          std::string_view many) {
  return text.append(std::to_string(count)).append(kNoBreakSpace).append(russian_plural(count, one, few, many));
}

// "Миры (3)": the count stays with its noun.
std::string& append_worlds(std::string& text, std::string_view noun, uint64_t count) {
  return text.append(noun).append(kNoBreakSpace).append("(").append(std::to_string(count)).append(")");
}

}  // namespace

std::string removal_choice_body(uint64_t worlds, uint64_t bytes, uint64_t unread_folders) {
  std::string body =
      "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
      "Удалить всё \u2014 папка установки и настройки входа.";
  if (worlds > 0) {
    append_count(body.append(" "), worlds, "мир", "мира", "миров").append(" (").append(size_text(bytes)).append(") ");
    body.append(russian_plural(worlds, "будет перемещён", "будут перемещены", "будут перемещены")).append(" в корзину");
  }
  // A world in a folder the search could not look into is not counted: the folders are.
  if (unread_folders > 0) {
    append_count(body.append(worlds > 0 ? "; " : " Миры не найдены, но "), unread_folders, "папка", "папки", "папок");
    body.append(russian_plural(unread_folders, " недоступна", " недоступны", " недоступны"));
  }
  return worlds > 0 || unread_folders > 0 ? body.append(".") : body;
}

std::string worlds_recycled_text(uint64_t recycled) {
  std::string text;
  return append_worlds(text, "Миры", recycled).append(" перемещены в корзину.");
}

std::string worlds_refused_text(uint64_t recycled, uint64_t kept) {
  std::string text = recycled > 0 ? worlds_recycled_text(recycled) : "";
  if (recycled > 0) text.back() = ',';
  return append_worlds(text, recycled > 0 ? " миры" : "Миры", kept).append(" корзина не приняла: они остались в папке.");
}

}  // namespace koravane
