#pragma once
// What a path names, beside how it is spelled. The final path the system gives for an open
// handle resolves 8.3 names, links, substituted drives and device spellings, so a decision about
// a place compares both forms: a spelling can then neither hide a folder nor move one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koravane {

struct PathForms {
  std::string spelled;  // absolute, as it was given
  std::string final;    // as the system resolves it; the spelled form when it cannot be opened
  bool operator==(const PathForms&) const = default;
};

// Both forms of one path whose final form is not known.
inline PathForms spelled_only(std::string path) { return PathForms{path, path}; }

// Whether path, in either of its forms, is area or lies below it in either of area's forms
// (see lies_within in path_text.h).
bool lies_within(const PathForms& path, const PathForms& area);
bool lies_within_any(const PathForms& path, const std::vector<PathForms>& areas);

// Whether the two forms name different places by their text: a line then says what the spelling
// stands for.
bool forms_differ(const PathForms& forms);

// A file on its volume, whatever path, link or hard link names it.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t id_low = 0;
  uint64_t id_high = 0;
  bool operator==(const FileIdentity&) const = default;
};

// A file as spelled and as what it is: both forms of its path and, when it could be opened, the
// file itself.
struct FileForms {
  PathForms path;
  std::optional<FileIdentity> identity;
};

// A file known only by its spelling.
inline FileForms unresolved(std::string path) { return FileForms{spelled_only(std::move(path)), std::nullopt}; }

// A path through an administrative share of this machine's own drive (\\localhost\C$\x, also
// under one of local_names, compared without case) as the drive path it names (C:\x); any other
// path as it is. The final path of such a share stays a network path.
std::string local_share_as_drive(std::string_view path, const std::vector<std::string>& local_names);

}  // namespace koravane

namespace koravane {

// Windows only (path_identity_win.cpp).
struct ResolvedFile {
  std::string final;  // without its "\\?\", local shares as drives
  FileIdentity identity;
};
// Opens path once, links followed, and reads what it names: nothing when it cannot be opened.
std::optional<ResolvedFile> resolve_file(std::string_view path);
// The same without the file's identity, which costs a system more to say than the path: only the
// final path.
std::optional<std::string> final_path(std::string_view path);
// absolute with its final form, or with itself as both when it cannot be opened.
PathForms path_forms(std::string_view absolute);
// path with its final form and identity, opening it once; unresolved when it cannot be opened.
FileForms file_forms(std::string_view path);
// The file an open handle (a HANDLE) is, or nothing when the system will not say.
std::optional<FileIdentity> identity_of(void* file);
// The final path of an open handle (a HANDLE), without its "\\?\", also of a file whose deletion
// waits for its last handle; nothing when the system will not say.
std::optional<std::string> final_path_of(void* file);

}  // namespace koravane
