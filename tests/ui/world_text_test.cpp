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

TEST(WorldText, SizesInRussianUnitsNeverOverstated) {
  constexpr uint64_t kb = 1024, mb = kb * 1024, gb = mb * 1024;
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 КБ"},          {1, "1 КБ"},           {1023, "1 КБ"},         {1024, "1 КБ"},
      {1536, "1,5 КБ"},     {10 * kb + 999, "10,9 КБ"}, {999 * kb, "999 КБ"}, {1000 * kb, "0,97 МБ"},
      {mb, "1 МБ"},         {mb + mb / 20, "1,04 МБ"},  {123 * mb + mb / 2, "123 МБ"},
      {gb + gb / 5, "1,19 ГБ"}, {gb * 12 + gb / 2, "12,5 ГБ"}, {gb - 1, "0,99 ГБ"},
      {1024 * gb * 3, "3 ТБ"},
  };
  for (const auto& c : cases) EXPECT_EQ(size_text(c.bytes), c.text) << c.bytes;
}

TEST(WorldText, DialogBodyNamesTheWorldsOnlyWhenThereAreSome) {
  const std::string today =
      "Только лаунчер \u2014 программа и ярлыки. Файлы игры останутся.\n\n"
      "Удалить всё \u2014 папка установки и настройки входа.";
  EXPECT_EQ(removal_choice_body(0, 0), today);
  EXPECT_EQ(removal_choice_body(1, 2048), today + " 1 мир (2 КБ) будет перемещён в корзину.");
  EXPECT_EQ(removal_choice_body(3, 1288490188), today + " 3 мира (1,19 ГБ) будут перемещены в корзину.");
  EXPECT_EQ(removal_choice_body(21, 5 * 1024 * 1024), today + " 21 мир (5 МБ) будет перемещён в корзину.");
  EXPECT_EQ(removal_choice_body(11, 1024), today + " 11 миров (1 КБ) будут перемещены в корзину.");
}

TEST(WorldText, NoticeSaysWhereTheWorldsWent) {
  EXPECT_EQ(worlds_notice_suffix(0, 0), "");
  EXPECT_EQ(worlds_notice_suffix(3, 0), " Миры (3) перемещены в корзину.");
  EXPECT_EQ(worlds_notice_suffix(0, 1), " Миры (1) корзина не приняла: они остались в папке.");
  EXPECT_EQ(worlds_notice_suffix(2, 1),
            " Миры (2) перемещены в корзину. Миры (1) корзина не приняла: они остались в папке.");
}

}  // namespace
}  // namespace koravane
