#pragma once
// Which entries stand for another place. Every folder of a cloud-synced tree (OneDrive Files
// On-Demand), of a projected file system, a deduplicated or compressed file all carry the
// reparse-point attribute, yet each is the entry itself: only a tag with the name-surrogate bit
// names another entry (symbolic links, junctions and mount points, WSL's links).
#include <cstdint>

namespace koravane {

inline constexpr uint32_t kReparsePointAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
inline constexpr uint32_t kNameSurrogateBit = 0x20000000;   // IsReparseTagNameSurrogate

// What a listing record or an open handle says of an entry's kind.
struct EntryKind {
  uint32_t attributes = 0;
  // The reparse tag where the attribute is set; 0 where the system gives none or cannot say.
  uint32_t tag = 0;
};

// A link is removed as itself and never entered. A tag of 0 counts as one: that is how Wine lists
// its links, and a tag nobody could read may be one.
inline bool is_link(uint32_t attributes, uint32_t tag) {
  return (attributes & kReparsePointAttribute) != 0 && (tag == 0 || (tag & kNameSurrogateBit) != 0);
}
inline bool is_link(const EntryKind& kind) { return is_link(kind.attributes, kind.tag); }

}  // namespace koravane
