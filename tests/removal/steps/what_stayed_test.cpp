#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "removal/steps/what_stayed.h"

namespace koravane {
namespace {

// Lines go into a list; the programs holding a path are looked up in a table.
class RecordedLines final : public StayedLines {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> asked;

 private:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<EntryHolder> holders_of(std::string_view path) override {
    asked.emplace_back(path);
    if (path == "C:\\Games\\KoraVane\\saves\\level.dat") return {{"javaw.exe", 4242}, {"Редактор", 77}};
    return {};
  }
};

TEST(StayedLines, NamesTheFirstTwentyWithTheirHoldersAndCountsTheRest) {
  for (size_t count : {size_t{0}, size_t{1}, size_t{20}, size_t{21}, size_t{57}}) {
    SCOPED_TRACE(count);
    RecordedLines recorded;
    for (size_t i = 0; i < count; ++i) {
      const std::string path = i == 0 ? "C:\\Games\\KoraVane\\saves\\level.dat" : "C:\\x\\" + std::to_string(i);
      recorded.add(i == 0 ? "saves\\level.dat" : path, path, "Busy. (os error 32)");
    }
    recorded.finish();
    const size_t named = std::min<size_t>(count, 20);
    ASSERT_EQ(recorded.lines.size(), named + (count > 20 ? 1 : 0));
    EXPECT_EQ(recorded.asked.size(), named) << "nobody is asked about what is not named";
    if (count > 0) {
      EXPECT_EQ(recorded.lines[0], "fail saves\\level.dat: Busy. (os error 32); held by javaw.exe (id 4242), Редактор (id 77)");
    }
    if (count > 1) {
      EXPECT_EQ(recorded.lines[1], "fail C:\\x\\1: Busy. (os error 32)");
    }
    if (count > 20) {
      EXPECT_EQ(recorded.lines.back(), count == 21 ? "and 1 more entry stayed" : "and 37 more entries stayed");
    }
  }
}

TEST(StayedEntries, AreFoundBelowTheRootAsItWasSpelled) {
  struct Case {
    const char* root;
    const char* path;
    const char* relative;
  };
  const Case cases[] = {
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane\\app-1.5.84\\x.pak", "app-1.5.84\\x.pak"},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane\\version.json", "version.json"},
      {"D:\\", "D:\\version.json", "version.json"},
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane", "C:\\Games\\KoraVane"},   // the root itself
      {"C:\\Games\\KoraVane", "C:\\Games\\KoraVane2\\x", "C:\\Games\\KoraVane2\\x"},  // a look-alike
      {"C:\\Games\\KoraVane", "D:\\Else\\x", "D:\\Else\\x"},
  };
  for (const Case& c : cases) EXPECT_EQ(relative_to(c.root, c.path), c.relative) << c.path;

  const StayedEntries stayed = {{"C:\\R\\minecraft\\saves\\a.dat", 32}, {"C:\\R\\version.json", 5},
                                {"C:\\R\\minecraft\\b.dat", 32}, {"C:\\R", 5}, {"C:\\R2\\y", 5}};
  EXPECT_EQ(top_level_entries("C:\\R", stayed),
            (std::vector<std::string>{"C:\\R\\minecraft", "C:\\R\\version.json"}));
}

// Why each entry stayed, over the codes Windows gives (Win32, as Microsoft documents them) and the
// removal's own flags. Access denied is also what Windows answers for the executable of a running
// program and what it loaded: beside a program that had to go and still runs, that is the reason.
TEST(StayReasons, FromTheErrorAndWhatTheRemovalKnows) {
  const std::string root = "C:\\Games\\KoraVane";
  const std::vector<std::string> left = {root + "\\runtime\\bin\\javaw.exe"};
  const struct {
    StayedEntry entry;
    std::vector<std::string> programs_left;
    StayReason reason;
  } cases[] = {
      {{root + "\\saves\\w\\session.lock", 32}, {}, StayReason::held},  // ERROR_SHARING_VIOLATION
      {{root + "\\a.pak", 33}, {}, StayReason::held},                       // ERROR_LOCK_VIOLATION
      {{root + "\\mods", 145}, {}, StayReason::held},                       // ERROR_DIR_NOT_EMPTY
      {{root + "\\b.pak", 303}, {}, StayReason::held},                      // ERROR_DELETE_PENDING
      {{root + "\\c.bin", 1224}, {}, StayReason::held},                     // ERROR_USER_MAPPED_FILE
      {{root + "\\Закрытая", 5}, {}, StayReason::no_access},                // a folder the run may not open
      {{root + "\\Закрытая", 5}, left, StayReason::no_access},              // a program elsewhere holds nothing here
      {{root + "\\runtime\\bin\\javaw.exe", 5}, left, StayReason::held},
      {{root + "\\runtime\\lib\\modules", 5}, left, StayReason::held},  // mapped by it
      {{"C:\\Other\\runtime\\x.dll", 5}, left, StayReason::no_access},  // outside the root
      {{root + "\\saves\\linked", 4390}, {}, StayReason::link},           // ERROR_NOT_A_REPARSE_POINT
      {{root + "\\saves\\linked", 5, true}, {}, StayReason::link},
      {{root + "\\deep", 206}, {}, StayReason::script},                     // ERROR_FILENAME_EXCED_RANGE
      {{root + "\\日本", 1113}, {}, StayReason::script},                    // ERROR_NO_UNICODE_TRANSLATION
      {{root + "\\saves\\w", 50, false, true}, {}, StayReason::world},    // the bin refused it, whatever the code
      {{root + "\\saves\\w", 32, false, true}, {}, StayReason::world},
      {{root + "\\x", 19}, {}, StayReason::other},                          // ERROR_WRITE_PROTECT
      {{root + "\\x", 1920}, {}, StayReason::other},                        // ERROR_CANT_ACCESS_FILE
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stay_reason(c.entry, root, c.programs_left), c.reason) << c.entry.path << " " << c.entry.error;
  }
}

}  // namespace
}  // namespace koravane
