#pragma once
// Windows path text on the program's 8-bit form: joining, last component, parent.
#include <optional>
#include <string>
#include <string_view>

namespace koravane {

inline bool is_path_separator(char c) { return c == '\\' || c == '/'; }

// base joined with name by one backslash; none is added when base is empty or already ends in a
// separator.
std::string join_path(std::string_view base, std::string_view name);

// The last normal component, or empty when the path has none (a bare root such as C:\).
std::string_view path_file_name(std::string_view path);

// The path without its last component, trailing separators dropped (the root's own separator
// kept). A bare file name has the empty path as parent; a root (C:\, \\server\share\) or an
// empty path has none.
std::optional<std::string> parent_path(std::string_view path);

// Length of the drive or UNC prefix and root separator of a path ("C:\" is 3, "\\srv\share\" is
// 12, "\\?\C:\" is 7); the components follow.
size_t path_root_length(std::string_view path);

// The path without a verbatim ("\\?\"), NT ("\??\") or device ("\\.\") prefix where one stands
// before a drive or a share ("\\?\UNC\srv\x" is "\\srv\x"): those name the same places as the
// plain forms. Before anything else (a volume GUID, a pipe) the prefix is part of the name.
std::string without_namespace_prefix(std::string_view path);

// Path text for comparison: namespace prefixes dropped (see without_namespace_prefix),
// '/' as '\', repeated and trailing separators dropped (a root keeps its own), letters
// case-folded (Latin, Greek, Cyrillic), so that two spellings of one Windows path compare equal.
std::string comparable_path(std::string_view path);

// Whether two paths name the same place by their text (see comparable_path).
inline bool same_path(std::string_view a, std::string_view b) {
  return comparable_path(a) == comparable_path(b);
}

// Whether path is area itself or lies somewhere below it, by their text (see comparable_path):
// C:\Games\KoraVane2\x.exe does not lie within C:\Games\KoraVane. An empty area holds nothing.
bool lies_within(std::string_view path, std::string_view area);
// The same for two texts that comparable_path already gave: where many paths are compared with
// many, each is made comparable once.
bool lies_within_comparable(std::string_view inner, std::string_view outer);

// Whether the path names one place whatever the current directory and drive: a drive letter
// with its root separator, or a UNC or device path.
bool is_fully_qualified(std::string_view path);

// The longest plain path that calls without the verbatim form take (cmd's commands, the shell's
// older file call): MAX_PATH less its terminating NUL.
inline constexpr size_t kPlainPathLimit = 259;

// The form in which a path reaches the system's file calls: a fully qualified drive or UNC path of
// kLongPathFrom characters or more goes in its verbatim form ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), resolved by text first since the system then resolves nothing,
// because the plain form stops at the legacy limit of 260 (this program carries no manifest that
// lifts it); any other path as it is.
inline constexpr size_t kLongPathFrom = 248;  // a folder's plain form must leave room for a 8.3 name
std::string system_path_form(std::string_view path);

// The path with "." and ".." components resolved by text, as the system resolves them before it
// opens a path ("C:\Games\KoraVane\..\x" is "C:\Games\x"; ".." stops at the root), '/' as
// '\' and repeated separators as one. A "\\?\" path is taken as written, as the system does.
std::string lexically_normal(std::string_view path);

}  // namespace koravane
