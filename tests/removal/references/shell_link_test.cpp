#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/text/os_text.h"
#include "removal/references/shell_link.h"

namespace koravane {
namespace {

std::string le16(size_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string le32(size_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string utf16z(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += le16(unit);
  return out + le16(0);
}
std::string padded(std::string bytes, size_t size) {
  bytes.resize(size, '\0');
  return bytes;
}

// Test links spell ANSI text as Latin-1, so that a decoded byte is told from an undecoded one.
std::string latin1(std::string_view text) {
  std::u32string points;
  for (char c : text) points += static_cast<unsigned char>(c);
  return utf8_from_code_points(points);
}

const std::string kComputer("\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16);
const std::string kLinkClass("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

std::string item(const std::string& body) { return le16(body.size() + 2) + body; }
std::string computer_item() { return item("\x1F\x50" + kComputer); }
std::string drive_item(const std::string& drive) { return item(padded("\x2F" + drive, 23)); }

// A folder (0x31) or file (0x32) item with a short name (ANSI, or UTF-16 where the type says so:
// 0x35, 0x36) and, given a version, the extension block that carries the long name.
std::string file_item(const std::string& short_name, std::u16string_view long_name = u"",
                      int version = 9, char type = 0x31) {
  std::string body = std::string(1, type) + '\0' + le32(0) + le32(0) + le16(0x10);
  body += (type & 0x04) ? utf16z(std::u16string(short_name.begin(), short_name.end())) : short_name + '\0';
  if (body.size() % 2 == 1) body += '\0';  // the item's size field comes first, two bytes
  if (!long_name.empty()) {
    const size_t name_at = version >= 9 ? 46 : version >= 8 ? 42 : version >= 7 ? 38 : 20;
    const uint32_t signature = version == 0 ? 0 : 0xBEEF0004;  // Wine's shell writes neither
    std::string block = padded(le16(0) + le16(version) + le32(signature), name_at) + utf16z(long_name);
    block += le16(body.size() + 2);  // where the block starts in the item
    block.replace(0, 2, le16(block.size()));
    body += block;
  }
  return item(body);
}

std::string local_info(const std::string& base, const std::string& suffix,
                       std::optional<std::u16string> wide_base = std::nullopt) {
  const size_t header = wide_base ? 0x24 : 0x1C;
  const std::string volume = padded(le32(0x10) + le32(3), 0x10);
  const size_t base_at = header + volume.size();
  const size_t suffix_at = base_at + base.size() + 1;
  const size_t wide_at = suffix_at + suffix.size() + 1;
  std::string fields = le32(header) + le32(1) + le32(header) + le32(base_at) + le32(0) + le32(suffix_at);
  if (wide_base) fields += le32(wide_at) + le32(0);
  std::string rest = volume + base + '\0' + suffix + '\0';
  if (wide_base) rest += utf16z(*wide_base);
  return le32(4 + fields.size() + rest.size()) + fields + rest;
}

std::string share_info(const std::string& share, const std::string& suffix) {
  const std::string network = le32(0x14 + share.size() + 1) + le32(0) + le32(0x14) + le32(0) + le32(0) +
                              share + '\0';
  const size_t suffix_at = 0x1C + network.size();
  const std::string fields = le32(0x1C) + le32(2) + le32(0) + le32(0) + le32(0x1C) + le32(suffix_at);
  const std::string rest = network + suffix + '\0';
  return le32(4 + fields.size() + rest.size()) + fields + rest;
}

std::string environment_block(const std::string& ansi, std::u16string_view wide) {
  return le32(0x314) + le32(0xA0000001) + padded(ansi, 260) + padded(utf16z(wide), 520);
}

// A shell link of the given parts; flags for the parts present are added.
struct Link {
  uint32_t flags = 0x80;  // Unicode strings
  std::vector<std::string> items;
  std::string info;
  std::u16string arguments;
  std::string extra;

  std::string bytes() const {
    uint32_t all = flags | (items.empty() ? 0 : 0x1) | (info.empty() ? 0 : 0x2) |
                   (arguments.empty() ? 0 : 0x20);
    std::string out = le32(0x4C) + kLinkClass + le32(all);
    out = padded(out, 0x4C);
    if (!items.empty()) {
      std::string list;
      for (const std::string& one : items) list += one;
      out += le16(list.size() + 2) + list + le16(0);
    }
    out += info;
    if (!arguments.empty()) out += le16(arguments.size()) + utf16z(arguments).substr(0, arguments.size() * 2);
    return out + extra + le32(0);
  }
};

std::optional<std::string> target_of(const std::string& bytes) {
  const auto target = shortcut_target(bytes, latin1);
  if (!target) return std::nullopt;
  return (target->has_variables ? "env:" : "") + target->path;
}

const std::vector<std::string> kGameItems = {computer_item(), drive_item("C:\\"), file_item("Users", u"Users"),
                                             file_item("9B7C~1", u"Иван"), file_item("KoraVane"),
                                             file_item("UPDATE.EXE", u"Update.exe", 3, 0x32)};

TEST(ShellLink, TargetIsReadFromWhereTheLinkStoresIt) {
  struct Case {
    const char* what;
    Link link;
    std::optional<std::string> target;
  };
  const Case cases[] = {
      {"item list, long names of each extension version", {.items = kGameItems},
       "C:\\Users\\Иван\\KoraVane\\Update.exe"},
      {"item list of Windows 7 and Vista names",
       {.items = {computer_item(), drive_item("D:\\"), file_item("GAMES~1", u"Мои игры", 8),
                  file_item("x", u"Сохранения", 7)}},
       "D:\\Мои игры\\Сохранения"},
      {"item list as Wine's shell writes it",
       {.items = {computer_item(), drive_item("C:\\"), file_item("????", u"Игры", 0), file_item("x", u"Мир 1", 0)}},
       "C:\\Игры\\Мир 1"},
      {"item list without long names: the ANSI short names",
       {.items = {computer_item(), drive_item("C:\\"), file_item("Jeux\xE9")}}, "C:\\Jeuxé"},
      {"item list with UTF-16 short names: the long names",
       {.items = {computer_item(), drive_item("C:\\"), file_item("GAMES~1", u"Мои игры", 9, 0x35),
                  file_item("UPDATE~1.EXE", u"Update.exe", 9, 0x36)}},
       "C:\\Мои игры\\Update.exe"},
      {"an extension block that claims no size: the short name",
       {.items = {computer_item(), drive_item("C:\\"),
                  item(std::string("\x31\0", 2) + le32(0) + le32(0) + le16(0x10) + "GAMES" + '\0' +
                       le16(0) + le16(9) + le32(0xBEEF0099) + le16(20))}},
       "C:\\GAMES"},
      {"a drive alone", {.items = {computer_item(), drive_item("E:\\")}}, "E:\\"},
      {"link information, ANSI base and suffix",
       {.info = local_info("C:\\Games\\Kora\xE9", "Update.exe")}, "C:\\Games\\KoraéUpdate.exe"},
      {"link information, UTF-16 base", {.info = local_info("C:\\??", "", u"C:\\Игры\\KoraVane.exe")},
       "C:\\Игры\\KoraVane.exe"},
      {"link information, a share", {.info = share_info("\\\\srv\\games", "KoraVane\\Update.exe")},
       "\\\\srv\\games\\KoraVane\\Update.exe"},
      {"the item list comes before the link information",
       {.items = kGameItems, .info = local_info("D:\\Elsewhere.exe", "")},
       "C:\\Users\\Иван\\KoraVane\\Update.exe"},
      {"an item list under a virtual folder gives way to the link information",
       {.items = {item("\x1F\x50" + std::string(16, '\x11')), drive_item("D:\\"), file_item("y.exe")},
        .info = local_info("C:\\x.exe", "")},
       "C:\\x.exe"},
      {"an item list through an item of another kind gives way to the link information",
       {.items = {computer_item(), drive_item("D:\\"), item(padded("\x74" + std::string(11, '\0') + "Games", 20)), file_item("y.exe")},
        .info = local_info("C:\\x.exe", "")},
       "C:\\x.exe"},
      {"link information the link says to ignore", {.flags = 0x180, .info = local_info("C:\\x.exe", "")},
       std::nullopt},
      {"the environment form, UTF-16",
       {.flags = 0x280, .items = kGameItems, .arguments = u"--processStart KoraVane.exe",
        .extra = environment_block("%X%", u"%LOCALAPPDATA%\\KoraVane\\Update.exe")},
       "env:%LOCALAPPDATA%\\KoraVane\\Update.exe"},
      {"the environment form, ANSI where UTF-16 is empty",
       {.flags = 0x280, .extra = environment_block("%APPDATA%\\Kora\xE9", u"")}, "env:%APPDATA%\\Koraé"},
      {"an environment block the link does not claim, beside a block with no data",
       {.items = kGameItems, .extra = environment_block("", u"%X%") + le32(8) + le32(0xA0000099)},
       "C:\\Users\\Иван\\KoraVane\\Update.exe"},
      {"nothing that names a path", {.arguments = u"C:\\KoraVane\\Update.exe"}, std::nullopt},
      {"link information with an empty path", {.info = local_info("", "")}, std::nullopt},
      {"link information shorter than its own header", {.info = le32(8) + le32(0x1C)}, std::nullopt},
      {"link information shorter than its fields", {.info = padded(le32(0x10) + le32(0x1C) + le32(1), 0x10)},
       std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(target_of(c.link.bytes()), c.target) << c.what;
}

TEST(ShellLink, WhatIsNoWholeLinkNamesNothing) {
  const std::string whole =
      Link{.items = kGameItems, .info = local_info("C:\\x.exe", ""), .arguments = u"--x",
           .extra = environment_block("", u"%X%")}
          .bytes();
  ASSERT_TRUE(target_of(whole));
  // Cut anywhere, even just before its last byte: the terminal block is missing.
  for (size_t size = 0; size < whole.size(); ++size) {
    EXPECT_EQ(target_of(whole.substr(0, size)), std::nullopt) << "cut to " << size << " bytes";
  }
  std::string other_class = whole;
  other_class[4] = '\x02';
  std::string item_too_long = Link{.items = {computer_item(), drive_item("C:\\"), file_item("x")}}.bytes();
  item_too_long[0x4C + 2 + 20 + 25] = '\x7F';  // the third item claims more than the list holds
  std::string info_too_long = Link{.info = local_info("C:\\x.exe", "")}.bytes();
  info_too_long[0x4C] = '\x7F';
  const std::string cases[] = {"", "not a link at all, just text that is long enough to be one........"
                                   "...........",
                               std::string(0x4C, '\0'), other_class, item_too_long, info_too_long};
  for (const std::string& bytes : cases) EXPECT_EQ(target_of(bytes), std::nullopt) << bytes.size();
}

}  // namespace
}  // namespace koravane
