#pragma once
// What a removal could not take, named for the run log: the entries that could not be removed
// themselves (not the folders that stay only because something in them stays), and, where the
// system can say, the programs that hold them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

struct StayedEntry {
  std::string path;  // the tree's path as given, joined with the names below it
  uint32_t error = 0;
  // A link that could not be removed as itself: what holds it is never handed to a tool that
  // might walk into it.
  bool link = false;
  // A world the Recycle Bin would not take: it stays whole, in place.
  bool world = false;
};
using StayedEntries = std::vector<StayedEntry>;

// Why an entry stayed, as the person is told, most important first: a world the Recycle Bin
// refused; a program holds it; no access; a link that could not be removed as itself; a path the
// deferred script cannot name (too long, or a name its code page cannot spell); anything else.
enum class StayReason { world, held, no_access, link, script, other };

// The reason for an entry that stayed, from its error code (Win32) and flags. Windows answers
// access denied for the executable of a running program and the files it loaded or maps as well:
// while a program that had to go still runs from the same top-level entry of root, that program
// is the reason.
StayReason stay_reason(const StayedEntry& entry, std::string_view root = {},
                       const std::vector<std::string>& programs_left = {});

// The paths of the entries, in order.
std::vector<std::string> stayed_paths(const StayedEntries& stayed);

// How many entries that stayed a run names one by one; the rest are counted in one line.
inline constexpr size_t kStayedEntriesNamed = 20;

// A program that holds a file open, as the system names it.
struct EntryHolder {
  std::string name;
  uint32_t id = 0;
};

// "fail {subject}: {error text}", ending with the programs that hold it when any are known:
// "; held by javaw.exe (id 4242), Discord (id 77)".
std::string stayed_line(std::string_view subject, std::string_view error_text,
                        const std::vector<EntryHolder>& holders);

// The line after the named ones: "and 35 more entries stayed" ("and 1 more entry stayed").
std::string more_stayed_line(size_t count);

// The top-level entries of root that the entries lie in (each once, in the order met), as full
// paths under root's spelling; nothing for root itself or paths outside it.
std::vector<std::string> top_level_entries(std::string_view root, const StayedEntries& stayed);

// Names what stayed of one removal, line by line as it is found: the first kStayedEntriesNamed
// entries each get a line (with the programs holding them, where the system can say), the rest
// are counted; finish() then says how many more stayed.
class StayedLines {
 public:
  virtual ~StayedLines() = default;
  // subject is how the line names the entry; path is where it lies, for the holders.
  void add(std::string_view subject, std::string_view path, std::string_view error_text);
  void finish();

 protected:
  virtual void write(std::string_view line) = 0;
  virtual std::vector<EntryHolder> holders_of(std::string_view path) = 0;

 private:
  size_t named_ = 0;
  size_t unnamed_ = 0;
};

// Where each entry's name begins below root: "app-1.5.84\x.pak" for root\app-1.5.84\x.pak, the
// path as it is when it does not lie below root.
std::string relative_to(std::string_view root, std::string_view path);

// Windows only: the programs the Restart Manager says hold path open; none where it cannot say.
std::vector<EntryHolder> programs_holding(std::string_view path);

class RunLog;
// Windows only: lines into the run log, with the Restart Manager's holders.
class LoggedStayedLines final : public StayedLines {
 public:
  explicit LoggedStayedLines(const RunLog& log) : log_(log) {}

 private:
  void write(std::string_view line) override;
  std::vector<EntryHolder> holders_of(std::string_view path) override;
  const RunLog& log_;
};
// Windows only: one line each, with the system's text of its error; named by their paths below
// root where one is given (launcher-only removal names its entries so), else by their full paths.
void name_stayed(StayedLines& lines, const StayedEntries& stayed, std::string_view root = {});

}  // namespace koravane
