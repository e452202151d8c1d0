#pragma once
// What the player reads about the worlds: Russian plural forms, sizes in Russian units, and the
// sentences of the dialog and the notice.
#include <cstdint>
#include <string>
#include <string_view>

namespace koravane {

// The form of a Russian noun for a count: one (1, 21, 101), few (2-4, 22-24) or many (0, 5-20, 111).
std::string_view russian_plural(uint64_t count, std::string_view one, std::string_view few, std::string_view many);

// Joins a count to its noun and a size to its unit, so that a line never breaks between them.
inline constexpr std::string_view kNoBreakSpace = "\u00A0";

// A size in the units a Russian Windows shows: "512 КБ", "12,3 МБ", "1,19 ГБ" (a no-break space
// before the unit); three significant digits at most, cut rather than rounded up, so it never
// says more than there is; "0 КБ" for nothing, "1 КБ" for less than that.
std::string size_text(uint64_t bytes);

// The dialog's explanation, today's text with no worlds; with them the full removal's paragraph
// names their count and size and says where they go, and, when the search could not look into
// some folders, how many.
std::string removal_choice_body(uint64_t worlds, uint64_t bytes, uint64_t unread_folders = 0);

// The notice's sentences about the worlds: those the Recycle Bin took ("Миры (3) перемещены в
// корзину."), and those it would not take, which stayed, after those it took, if any.
std::string worlds_recycled_text(uint64_t recycled);
std::string worlds_refused_text(uint64_t recycled, uint64_t kept);

}  // namespace koravane
