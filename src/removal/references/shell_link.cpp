#include "removal/references/shell_link.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/text/os_text.h"
#include "platform/text/path_text.h"

namespace koravane {
namespace {

constexpr uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} as stored.
constexpr unsigned char kLinkClass[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// The computer folder {20D04FE0-3AEA-1069-A2D8-08002B30309D}, under which drives lie.
constexpr unsigned char kComputerClass[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                              0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

enum LinkFlag : uint32_t {
  kHasItemList = 0x1,
  kHasLinkInfo = 0x2,
  kIsUnicode = 0x80,
  kForceNoLinkInfo = 0x100,
  kHasEnvironmentForm = 0x200,
};
// The optional strings that follow the link information, each present by its own flag: name,
// relative path, working folder, arguments, icon location.
constexpr uint32_t kStringFlags[] = {0x4, 0x8, 0x10, 0x20, 0x40};

constexpr uint32_t kEnvironmentBlock = 0xA0000001;
constexpr uint32_t kEnvironmentBlockSize = 0x314;
constexpr uint32_t kFileEntryExtension = 0xBEEF0004;

// Bounded little-endian reads of one structure; a read past its end gives nothing.
class Span {
 public:
  explicit Span(std::string_view bytes) : bytes_(bytes) {}
  size_t size() const { return bytes_.size(); }
  std::optional<uint32_t> u8(size_t at) const { return number(at, 1); }
  std::optional<uint32_t> u16(size_t at) const { return number(at, 2); }
  std::optional<uint32_t> u32(size_t at) const { return number(at, 4); }
  std::optional<Span> part(size_t at, size_t size) const {
    if (at > bytes_.size() || size > bytes_.size() - at) return std::nullopt;
    return Span(bytes_.substr(at, size));
  }
  bool holds(size_t at, const unsigned char (&expected)[16]) const {
    const auto piece = part(at, 16);
    return piece && std::equal(piece->bytes_.begin(), piece->bytes_.end(), expected,
                               [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
  }
  // NUL-terminated ANSI text from at; nothing without its NUL.
  std::optional<std::string_view> ansi_text(size_t at) const {
    if (at >= bytes_.size()) return std::nullopt;
    const size_t end = bytes_.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;
    return bytes_.substr(at, end - at);
  }
  // NUL-terminated UTF-16 text from at, as lossless system text; nothing without its NUL.
  std::optional<std::string> utf16_text(size_t at) const {
    std::u16string units;
    for (size_t i = at;; i += 2) {
      const auto unit = u16(i);
      if (!unit) return std::nullopt;
      if (*unit == 0) return wtf8_from_utf16(units);
      units += static_cast<char16_t>(*unit);
    }
  }
  // Offset of the next even position after the NUL-terminated text from at (ANSI or UTF-16).
  std::optional<size_t> after_text(size_t at, bool wide) const {
    if (wide) {
      for (size_t i = at;; i += 2) {
        const auto unit = u16(i);
        if (!unit) return std::nullopt;
        if (*unit == 0) return i + 2;
      }
    }
    const auto text = ansi_text(at);
    if (!text) return std::nullopt;
    const size_t end = at + text->size() + 1;
    return end + (end % 2);
  }

 private:
  std::optional<uint32_t> number(size_t at, size_t width) const {
    if (at > bytes_.size() || width > bytes_.size() - at) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes_[at + i]);
    return value;
  }
  std::string_view bytes_;
};

// Where the long name lies in a file entry's extension block of a version.
size_t long_name_offset(uint32_t version) {
  size_t offset = 18;
  if (version >= 7) offset += 18;
  if (version >= 3) offset += 2;
  if (version >= 9) offset += 4;
  if (version >= 8) offset += 4;
  return offset;
}

// A file or folder item: its long name from its extension block where it has one, else its
// primary name (UTF-16 or ANSI as the item's type says).
std::optional<std::string> file_entry_name(Span item, const AnsiDecoder& ansi) {
  const auto type = item.u8(2);
  if (!type) return std::nullopt;
  const bool wide = (*type & 0x04) != 0;
  constexpr size_t kPrimaryName = 14;
  const auto extensions = item.after_text(kPrimaryName, wide);
  if (!extensions) return std::nullopt;
  for (size_t at = *extensions;;) {
    const auto size = item.u16(at);
    const auto version = item.u16(at + 2);
    const auto signature = item.u32(at + 4);
    if (!size || !version || !signature || *size < 8) break;
    const auto block = item.part(at, *size);
    if (!block) break;
    // Wine's shell leaves version and signature zero and lays the block out as version 3 does.
    if (*signature == kFileEntryExtension || (*signature == 0 && *version == 0)) {
      const auto name = block->utf16_text(long_name_offset(std::max<uint32_t>(*version, 3)));
      if (name && !name->empty()) return name;
      break;
    }
    at += *size;
  }
  std::optional<std::string> primary =
      wide ? item.utf16_text(kPrimaryName) : std::optional<std::string>(ansi(*item.ansi_text(kPrimaryName)));
  if (!primary || primary->empty()) return std::nullopt;
  return primary;
}

// The file-system path an item list names: the computer folder, a drive, then file and folder
// items. Any other kind of item (a network place, a library, a virtual folder) names none here.
std::optional<std::string> item_list_path(const std::vector<Span>& items, const AnsiDecoder& ansi) {
  if (items.size() < 2) return std::nullopt;
  const auto root_type = items[0].u8(2);
  if (!root_type || *root_type != 0x1F || !items[0].holds(4, kComputerClass)) return std::nullopt;
  const auto drive_type = items[1].u8(2);
  if (!drive_type || (*drive_type & 0x70) != 0x20) return std::nullopt;
  const auto drive = items[1].ansi_text(3);
  if (!drive || drive->size() < 2 || (*drive)[1] != ':') return std::nullopt;
  std::string path(*drive);
  for (size_t i = 2; i < items.size(); ++i) {
    const auto type = items[i].u8(2);
    if (!type || (*type & 0x70) != 0x30) return std::nullopt;
    const auto name = file_entry_name(items[i], ansi);
    if (!name) return std::nullopt;
    path = join_path(path, *name);
  }
  return path;
}

// The link's structures in file order; any that runs past the end or past its own size makes
// the whole link unreadable.
class LinkReader {
 public:
  LinkReader(std::string_view bytes, const AnsiDecoder& ansi) : file_(bytes), ansi_(ansi) {}

  std::optional<ShortcutTarget> target() {
    if (file_.size() < kHeaderSize || file_.u32(0) != kHeaderSize || !file_.holds(4, kLinkClass)) {
      return std::nullopt;
    }
    flags_ = *file_.u32(20);
    at_ = kHeaderSize;
    if ((flags_ & kHasItemList) && !read_item_list()) return std::nullopt;
    if ((flags_ & kHasLinkInfo) && !read_link_info()) return std::nullopt;
    if (!skip_strings() || !read_extra_data()) return std::nullopt;
    if (environment_form_ && !environment_form_->empty() && (flags_ & kHasEnvironmentForm)) {
      return ShortcutTarget{*environment_form_, true};
    }
    if (item_path_) return ShortcutTarget{*item_path_, false};
    if (info_path_ && !info_path_->empty() && !(flags_ & kForceNoLinkInfo)) {
      return ShortcutTarget{*info_path_, false};
    }
    return std::nullopt;
  }

 private:
  bool read_item_list() {
    const auto size = file_.u16(at_);
    const auto list = size ? file_.part(at_ + 2, *size) : std::nullopt;
    if (!list) return false;
    std::vector<Span> items;
    for (size_t i = 0;;) {
      const auto item_size = list->u16(i);
      if (!item_size) return false;
      if (*item_size == 0) break;  // the list's end
      const auto item = *item_size >= 3 ? list->part(i, *item_size) : std::nullopt;
      if (!item) return false;
      items.push_back(*item);
      i += *item_size;
    }
    item_path_ = item_list_path(items, ansi_);
    at_ += 2 + *size;
    return true;
  }

  bool read_link_info() {
    const auto size = file_.u32(at_);
    const auto info = size && *size >= 0x1C ? file_.part(at_, *size) : std::nullopt;
    if (!info) return false;
    const uint32_t header = *info->u32(4);
    const uint32_t info_flags = *info->u32(8);
    const auto suffix = text_at(*info, 24, header >= 0x24 ? info->u32(32) : std::nullopt);
    if (!suffix) return false;
    if (info_flags & 0x1) {  // a local path
      const auto base = text_at(*info, 16, header >= 0x24 ? info->u32(28) : std::nullopt);
      if (!base) return false;
      info_path_ = *base + *suffix;
    } else if (info_flags & 0x2) {  // a share
      const auto share = share_name(*info);
      if (!share) return false;
      info_path_ = suffix->empty() ? *share : join_path(*share, *suffix);
    }
    at_ += *size;
    return true;
  }

  // The UTF-16 text at the offset stored at wide_offset where there is one, else the ANSI text
  // at the offset stored at ansi_field.
  std::optional<std::string> text_at(Span info, size_t ansi_field, std::optional<uint32_t> wide_offset) {
    if (wide_offset && *wide_offset != 0) return info.utf16_text(*wide_offset);
    const auto offset = info.u32(ansi_field);
    const auto text = offset ? info.ansi_text(*offset) : std::nullopt;
    if (!text) return std::nullopt;
    return ansi_(*text);
  }

  std::optional<std::string> share_name(Span info) {
    const auto offset = info.u32(20);
    const auto size = offset ? info.u32(*offset) : std::nullopt;
    const auto link = size ? info.part(*offset, *size) : std::nullopt;
    const auto name_offset = link ? link->u32(8) : std::nullopt;
    if (!name_offset) return std::nullopt;
    return text_at(*link, 8, *name_offset > 0x14 ? link->u32(20) : std::nullopt);
  }

  bool skip_strings() {
    const size_t unit = (flags_ & kIsUnicode) ? 2 : 1;
    for (uint32_t flag : kStringFlags) {
      if (!(flags_ & flag)) continue;
      const auto count = file_.u16(at_);
      if (!count || !file_.part(at_ + 2, *count * unit)) return false;
      at_ += 2 + *count * unit;
    }
    return true;
  }

  bool read_extra_data() {
    for (;;) {
      const auto size = file_.u32(at_);
      if (!size) return false;
      if (*size < 4) return true;  // the terminal block
      const auto block = *size >= 8 ? file_.part(at_, *size) : std::nullopt;
      if (!block) return false;
      if (*block->u32(4) == kEnvironmentBlock && *size >= kEnvironmentBlockSize) read_environment_form(*block);
      at_ += *size;
    }
  }

  // The block holds the target with its variables twice, in fixed fields: 260 ANSI bytes, then
  // 260 UTF-16 units, each NUL-terminated.
  void read_environment_form(Span block) {
    const auto wide = block.part(268, 520);
    std::optional<std::string> text = wide ? wide->utf16_text(0) : std::nullopt;
    if (!text || text->empty()) {
      const auto narrow = block.part(8, 260);
      const auto ansi_text = narrow ? narrow->ansi_text(0) : std::nullopt;
      if (ansi_text) text = ansi_(*ansi_text);
    }
    environment_form_ = text;
  }

  Span file_;
  const AnsiDecoder& ansi_;
  uint32_t flags_ = 0;
  size_t at_ = 0;
  std::optional<std::string> item_path_;
  std::optional<std::string> info_path_;
  std::optional<std::string> environment_form_;
};

}  // namespace

std::optional<ShortcutTarget> shortcut_target(std::string_view bytes, const AnsiDecoder& ansi) {
  return LinkReader(bytes, ansi).target();
}

}  // namespace koravane
