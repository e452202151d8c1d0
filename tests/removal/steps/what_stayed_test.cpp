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

}  // namespace
}  // namespace koravane
