#include "removal/steps/what_stayed.h"

#include <algorithm>
#include <optional>

#include "platform/context/run_log.h"
#include "platform/text/os_text.h"
#include "platform/text/path_text.h"
#include "removal/steps/root_clearing.h"
#include "removal/tree/tree_removal_system.h"

namespace koravane {
namespace {

// Win32 codes beside those the removal reasons about itself.
constexpr uint32_t kLockViolation = 33;           // ERROR_LOCK_VIOLATION
constexpr uint32_t kFilenameTooLong = 206;        // ERROR_FILENAME_EXCED_RANGE
constexpr uint32_t kNoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION
constexpr uint32_t kUserMappedFile = 1224;        // ERROR_USER_MAPPED_FILE

bool beside_a_program_left(std::string_view path, std::string_view root, const std::vector<std::string>& programs) {
  for (const std::string& program : programs) {
    const std::optional<std::string> entry = entry_holding(root, program);
    if (entry && lies_within(path, join_path(root, *entry))) return true;
  }
  return false;
}

}  // namespace

StayReason stay_reason(const StayedEntry& entry, std::string_view root, const std::vector<std::string>& programs_left) {
  using namespace removal_code;
  if (entry.world) return StayReason::world;
  if (entry.link || entry.error == kNotALink) return StayReason::link;
  switch (entry.error) {
    case kSharingViolation:
    case kLockViolation:
    case kUserMappedFile:
    case kDeletePending:  // deleted, but a program still has it open
    case kDirNotEmpty:    // emptied, yet something came back or is still held open inside
      return StayReason::held;
    case kAccessDenied:
      return beside_a_program_left(entry.path, root, programs_left) ? StayReason::held : StayReason::no_access;
    case kFilenameTooLong:
    case kNoUnicodeTranslation:
      return StayReason::script;
    default:
      return StayReason::other;
  }
}

std::vector<std::string> stayed_paths(const StayedEntries& stayed) {
  std::vector<std::string> paths;
  paths.reserve(stayed.size());
  for (const StayedEntry& entry : stayed) paths.push_back(entry.path);
  return paths;
}

std::string stayed_line(std::string_view subject, std::string_view error_text,
                        const std::vector<EntryHolder>& holders) {
  std::string line = fail_line(subject, error_text);
  for (size_t i = 0; i < holders.size(); ++i) {
    line += i == 0 ? "; held by " : ", ";
    line += display_text(holders[i].name) + " (id " + std::to_string(holders[i].id) + ")";
  }
  return line;
}

std::string more_stayed_line(size_t count) {
  return "and " + std::to_string(count) + (count == 1 ? " more entry stayed" : " more entries stayed");
}

void StayedLines::add(std::string_view subject, std::string_view path, std::string_view error_text) {
  if (named_ == kStayedEntriesNamed) {
    ++unnamed_;
    return;
  }
  ++named_;
  write(stayed_line(subject, error_text, holders_of(path)));
}

void StayedLines::finish() {
  if (unnamed_ > 0) write(more_stayed_line(unnamed_));
}

namespace {

// What of path lies below root; stayed entries are named by joining names to the very string the
// removal was given.
std::optional<std::string_view> below(std::string_view root, std::string_view path) {
  if (root.empty() || !path.starts_with(root)) return std::nullopt;
  std::string_view rest = path.substr(root.size());
  if (!is_path_separator(root.back())) {
    if (rest.empty() || !is_path_separator(rest.front())) return std::nullopt;
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;
  return rest;
}

}  // namespace

std::string relative_to(std::string_view root, std::string_view path) {
  return std::string(below(root, path).value_or(path));
}

std::vector<std::string> top_level_entries(std::string_view root, const StayedEntries& stayed) {
  std::vector<std::string> entries;
  for (const StayedEntry& entry : stayed) {
    const std::optional<std::string_view> rest = below(root, entry.path);
    if (!rest) continue;
    const std::string top = join_path(root, rest->substr(0, rest->find('\\')));
    if (std::find(entries.begin(), entries.end(), top) == entries.end()) entries.push_back(top);
  }
  return entries;
}

}  // namespace koravane
