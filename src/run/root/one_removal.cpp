#include "run/root/one_removal.h"

#include "platform/text/path_text.h"

namespace koravane {
namespace {

std::string hex(uint64_t value) {
  std::string text(16, '0');
  for (auto digit = text.rbegin(); digit != text.rend(); ++digit, value >>= 4) *digit = "0123456789abcdef"[value & 0xF];
  return text;
}

// FNV-1a: a stable digest of a name that the lock's name cannot hold as it is.
uint64_t digest(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

}  // namespace

std::string removal_lock_name(const std::optional<FileIdentity>& identity, std::string_view final_path) {
  // Per session: the install is one user's, and so are the runs that remove it.
  const std::string prefix = "Local\\KoraVane-Uninstall-";
  if (identity) return prefix + hex(identity->volume) + "-" + hex(identity->id_high) + hex(identity->id_low);
  return prefix + "path-" + hex(digest(comparable_path(final_path)));
}

std::string_view asking_elsewhere_line() {
  return "another run of this install is asking: its dialog was brought to the front";
}

}  // namespace koravane
