#include <gtest/gtest.h>

#include <string>

#include "ui/world_text.h"

namespace koravane {
namespace {

TEST(WorldText, RussianPluralForms) {
  const struct {
    uint64_t count;
    std::string_view form;
  } cases[] = {{0, "миров"},  {1, "мир"},    {2, "мира"},   {4, "мира"},   {5, "миров"},   {11, "миров"},
               {12, "миров"}, {14, "миров"}, {21, "мир"},   {22, "мира"},  {25, "миров"},  {101, "мир"},
               {111, "миров"}, {112, "миров"}, {1001, "мир"}, {1012, "миров"}};
  for (const auto& c : cases) {
    EXPECT_EQ(russian_plural(c.count, "мир", "мира", "миров"), c.form) << c.count;
  }
}

// A no-break space joins each size to its unit ("\u00A0" below), so that a line never breaks there.
TEST(WorldText, SizesInRussianUnitsNeverOverstated) {
  constexpr uint64_t kb = 1024, mb = kb * 1024, gb = mb * 1024;
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0\u00A0КБ"},          {1, "1\u00A0КБ"},           {1023, "1\u00A0КБ"},         {1024, "1\u00A0КБ"},
      {1536, "1,5\u00A0КБ"},     {10 * kb + 999, "10,9\u00A0КБ"}, {999 * kb, "999\u00A0КБ"}, {1000 * kb, "0,97\u00A0МБ"},
      {mb, "1\u00A0МБ"},         {mb + mb / 20, "1,04\u00A0МБ"},  {123 * mb + mb / 2, "123\u00A0МБ"},
      {gb + gb / 5, "1,19\u00A0ГБ"}, {gb * 12 + gb / 2, "12,5\u00A0ГБ"}, {gb - 1, "0,99\u00A0ГБ"},
      {1024 * gb * 3, "3\u00A0ТБ"},
  };
  for (const auto& c : cases) EXPECT_EQ(size_text(c.bytes), c.text) << c.bytes;
}

// The worlds' clause joins each count to its noun and each size to its unit; the folders the search
// could not look into are counted whether worlds were found or not.
TEST(WorldText, DialogBodyNamesTheWorldsAndWhatCouldNotBeSearched) {
  const std::string today =
      "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
      "Удалить всё \u2014 папка установки и настройки входа.";
  const struct {
    uint64_t worlds, bytes, unread;
    std::string added;
  } cases[] = {
      {0, 0, 0, ""},
      {1, 2048, 0, " 1\u00A0мир (2\u00A0КБ) будет перемещён в корзину."},
      {3, 1288490188, 0, " 3\u00A0мира (1,19\u00A0ГБ) будут перемещены в корзину."},
      {21, 5 * 1024 * 1024, 0, " 21\u00A0мир (5\u00A0МБ) будет перемещён в корзину."},
      {11, 1024, 0, " 11\u00A0миров (1\u00A0КБ) будут перемещены в корзину."},
      {200, 999'000'000, 0, " 200\u00A0миров (952\u00A0МБ) будут перемещены в корзину."},
      {0, 0, 1, " Миры не найдены, но 1\u00A0папка недоступна."},
      {0, 0, 12, " Миры не найдены, но 12\u00A0папок недоступны."},
      {3, 1536, 2, " 3\u00A0мира (1,5\u00A0КБ) будут перемещены в корзину; 2\u00A0папки недоступны."},
      {1, 1024, 21, " 1\u00A0мир (1\u00A0КБ) будет перемещён в корзину; 21\u00A0папка недоступна."},
  };
  for (const auto& c : cases) EXPECT_EQ(removal_choice_body(c.worlds, c.bytes, c.unread), today + c.added) << c.added;
}

TEST(WorldText, NoticeSaysWhereTheWorldsWent) {
  EXPECT_EQ(worlds_recycled_text(3), "Миры\u00A0(3) перемещены в корзину.");
  EXPECT_EQ(worlds_refused_text(0, 1), "Миры\u00A0(1) корзина не приняла: они остались в папке.");
  EXPECT_EQ(worlds_refused_text(2, 1),
            "Миры\u00A0(2) перемещены в корзину, миры\u00A0(1) корзина не приняла: они остались в папке.");
}

}  // namespace
}  // namespace koravane
