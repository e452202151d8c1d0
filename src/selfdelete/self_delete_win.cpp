#include <windows.h>

#include <algorithm>

#include "platform/processes/child_process.h"
#include "platform/files/env.h"
#include "platform/files/file_write_win.h"
#include "platform/files/links.h"
#include "platform/files/fill_from_system_win.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"
#include "platform/text/path_text.h"
#include "platform/context/run_log.h"
#include "selfdelete/script_encoding_win.h"
#include "selfdelete/self_delete.h"
#include "selfdelete/script_text.h"

namespace koravane {
namespace {

OsStatus write_script(const std::string& path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(to_system_path(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return OsError{GetLastError()};
  return write_all(file.get(), bytes);
}

// The longest "\name\..." below folder, in UTF-16 units, that removing it reaches: its "\*" at
// least. Links are not entered, as rd /s does not enter them; it enters every other reparse
// point (a cloud placeholder folder), and so does this.
size_t length_below(const std::wstring& folder) {
  size_t longest = 2;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle listing(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                                  FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!listing) return longest;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    size_t here = 1 + name.size();
    const bool reparse = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !is_link(entry.dwFileAttributes, reparse ? entry.dwReserved0 : 0)) {
      here += length_below(folder + L"\\" + std::wstring(name));
    }
    longest = std::max(longest, here);
  } while (FindNextFileW(listing.get(), &entry));
  return longest;
}

// What the script needs to know of path. The system is asked through the "\\?\" form, which
// the plain limit does not bind.
DeferredPath deferred_path(const std::string& path, const OemEncoder& to_oem) {
  const std::string verbatim = verbatim_form(path).value_or(path);
  const std::wstring asked = to_wide(verbatim);
  DeferredPath deferred{path};
  const DWORD attributes = GetFileAttributesW(asked.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    deferred.below = is_link(attributes, reparse ? listed_reparse_tag(verbatim) : 0) ? 2 : length_below(asked);
  }
  if (fits_plain(path, deferred.below) && script_can_spell(path, to_oem)) return deferred;
  const OsResult<std::wstring> short_form =
      fill_from_system([&](wchar_t* buffer, DWORD n) { return GetShortPathNameW(asked.c_str(), buffer, n); });
  if (short_form) deferred.short_form = without_namespace_prefix(from_wide(short_form.value()));
  return deferred;
}

// The path as the script in the OEM code page names it, or why it cannot.
OsResult<std::string> spelled_for_the_script(const std::string& path) {
  return script_spelling(deferred_path(path, encode_oem_lossless), encode_oem_lossless);
}

}  // namespace

static_assert(script_code::kFilenameTooLong == ERROR_FILENAME_EXCED_RANGE &&
              script_code::kNoUnicodeTranslation == ERROR_NO_UNICODE_TRANSLATION);
static_assert(kNoBestFitChars == WC_NO_BEST_FIT_CHARS && kErrorInvalidChars == WC_ERR_INVALID_CHARS);

ScriptPaths script_paths(const std::vector<std::string>& deferred_paths, const RunLog& log) {
  ScriptPaths paths;
  for (const std::string& path : deferred_paths) {
    if (OsResult<std::string> named = spelled_for_the_script(path)) {
      paths.named.push_back(std::move(named).value());
    } else {
      log.append(fail_line(path, named.error().code));
      paths.left.push_back({path, named.error().code});
    }
  }
  return paths;
}

std::optional<std::string> encode_lossless(uint32_t code_page, std::string_view utf8) {
  const std::optional<ExactConversion> exact = exact_conversion(code_page);
  if (!exact) return std::nullopt;  // a code page that cannot tell
  const std::wstring wide = to_wide(utf8);
  if (wide.empty()) return std::string();
  BOOL used_default = FALSE;
  BOOL* const used = exact->ask_used_default ? &used_default : nullptr;
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(code_page, exact->flags, wide.data(), length, nullptr, 0, nullptr, used);
  if (size <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(code_page, exact->flags, wide.data(), length, out.data(), size, nullptr, used) != size ||
      used_default) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> encode_oem_lossless(std::string_view utf8) {
  return encode_lossless(GetOEMCP(), utf8);
}

OsStatus write_self_deletion_script(const std::vector<std::string>& deferred_paths,
                                    const ScriptOwner& owner, std::string_view folder) {
  const std::string name = script_file_name(current_process_id());
  const std::optional<std::string> bytes =
      script_bytes(deferred_paths, owner, encode_oem_lossless, self_deletion_line(folder, name));
  if (!bytes) return OsError{ERROR_NO_UNICODE_TRANSLATION};
  return write_script(join_path(folder, name), *bytes);
}

void schedule_self_deletion(const std::vector<std::string>& deferred_paths, const RunLog& log,
                            const ScriptOwner& owner) {
  const std::string name = script_file_name(current_process_id());
  const OsResult<std::string> folder = temp_folder();
  if (!folder) {
    log.append(fail_line(name, folder.error().code));
    return;
  }
  const std::string script = join_path(folder.value(), name);
  if (const OsStatus written = write_self_deletion_script(deferred_paths, owner, folder.value());
      !written) {
    log.append(fail_line(script, written.error().code));
    return;
  }
  // Run in the temporary folder: a folder that is some process's current directory cannot be
  // removed, and ours may be the install root.
  const ChildResult<std::monostate> started = start_child(interpreter_command(current_process_id(), folder.value()));
  if (started) {
    log.append("scheduled delete via " + display_text(script));
  } else if (const LaunchError* launch = launch_error_of(started)) {
    log.append(fail_line(script, std::string(launch->message)));
  } else {
    log.append(fail_line(script, os_error_of(started)));
  }
}

void schedule_self_deletion(const std::vector<std::string>& deferred_paths, const RunContext& context,
                            bool launcher_by_image) {
  ScriptOwner owner{current_process_id(), std::string(path_file_name(context.executable)), launcher_by_image};
  if (!context.run_folder.empty()) {
    // A folder the script cannot name is left to the run, which removes it as it ends.
    if (OsResult<std::string> folder = spelled_for_the_script(context.run_folder)) {
      owner.working_folder = std::move(folder).value();
    }
  }
  schedule_self_deletion(deferred_paths, context.log, owner);
}

}  // namespace koravane
