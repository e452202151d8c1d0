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
  if (bytes == 0) return "0 КБ";
  if (bytes < 1024) return "1 КБ";
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
  return text + " " + std::string(units[unit]);
}

std::string removal_choice_body(uint64_t worlds, uint64_t bytes) {
  std::string body =
      "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
      "Удалить всё \u2014 папка установки и настройки входа.";
  if (worlds == 0) return body;
  body += ' ' + std::to_string(worlds) + ' ' + std::string(russian_plural(worlds, "мир", "мира", "миров")) + " (" +
          size_text(bytes) + ") " + std::string(russian_plural(worlds, "будет перемещён", "будут перемещены", "будут перемещены")) + " в корзину.";
  return body;
}

std::string worlds_notice_suffix(uint64_t recycled, uint64_t kept) {
  std::string text;
  if (recycled > 0) text = " Миры (" + std::to_string(recycled) + ") перемещены в корзину.";
  if (kept > 0) text += " Миры (" + std::to_string(kept) + ") корзина не приняла: они остались в папке.";
  return text;
}

}  // namespace koravane
