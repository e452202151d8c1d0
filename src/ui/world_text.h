#pragma once
// What the player reads about the worlds: Russian plural forms, sizes in Russian units, and the
// sentences of the dialog and the notice.
#include <cstdint>
#include <string>
#include <string_view>

namespace koravane {

// The form of a Russian noun for a count: one (1, 21, 101), few (2-4, 22-24) or many (0, 5-20, 111).
std::string_view russian_plural(uint64_t count, std::string_view one, std::string_view few, std::string_view many);

// A size in the units a Russian Windows shows: "512 КБ", "12,3 МБ", "1,19 ГБ"; three significant
// digits at most, cut rather than rounded up, so it never says more than there is; "0 КБ" for
// nothing, "1 КБ" for less than that.
std::string size_text(uint64_t bytes);

// The dialog's explanation, today's text with no worlds; with them the full removal's paragraph
// names their count and size and says where they go.
std::string removal_choice_body(uint64_t worlds, uint64_t bytes);

// Appended to the notice's usual message when worlds went to the Recycle Bin, or stayed because
// it would not take them (each sentence after a space); empty for none.
std::string worlds_notice_suffix(uint64_t recycled, uint64_t kept);

}  // namespace koravane
