#include <windows.h>

#include <array>
#include <cstddef>
#include <vector>

#include "platform/processes/child_process.h"
#include "platform/files/env.h"
#include "platform/basics/handles_win.h"
#include "platform/text/os_text_win.h"

namespace koravane {
namespace {

// Inheritable handles made for one child must not leak into another child created meanwhile.
SRWLOCK launch_lock = SRWLOCK_INIT;

std::optional<std::string> ok_or_none(OsResult<std::string> result) {
  if (!result) return std::nullopt;
  return std::move(result).value();
}

ProgramSearchEnvironment system_search_environment() {
  ProgramSearchEnvironment environment;
  environment.exists = [](const std::string& path) {
    return GetFileAttributesW(to_system_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  environment.own_executable_path = [] { return ok_or_none(own_executable_path()); };
  environment.system_directory = [] { return ok_or_none(system_directory()); };
  environment.windows_directory = [] { return ok_or_none(windows_directory()); };
  environment.path_variable = [] { return read_env_var("PATH"); };
  return environment;
}

OsError last_error() { return OsError{GetLastError()}; }
ChildError last_launch_error() { return last_error(); }

// Our inheritable copy of a standard handle for the child; empty means the child gets none.
OsResult<UniqueHandle> prepare_handle(DWORD kind, std::optional<StdioDisposition> disposition) {
  if (disposition.value_or(StdioDisposition::inherit) == StdioDisposition::null_device) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const DWORD access = kind == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE;
    UniqueHandle device(CreateFileW(L"\\\\.\\NUL", access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!device) return last_error();
    return device;
  }
  const HANDLE own = GetStdHandle(kind);
  if (own == INVALID_HANDLE_VALUE) return last_error();
  if (own == nullptr) return UniqueHandle();
  HANDLE copy = nullptr;
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, own, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) return last_error();
  return UniqueHandle(copy);
}

// The handles a child limited to its standard handles may inherit, named in an attribute list.
// The list points into this object, so it stays in place for the one launch it serves.
class InheritanceList {
 public:
  InheritanceList() = default;
  InheritanceList(const InheritanceList&) = delete;
  InheritanceList& operator=(const InheritanceList&) = delete;

  // Names the prepared handles that are set; with none set there is no list.
  OsStatus name(const std::array<UniqueHandle, 3>& prepared) {
    for (const UniqueHandle& handle : prepared) {
      if (handle.get()) handles_[count_++] = handle.get();
    }
    if (count_ == 0) return os_success();
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);  // only asks for the size
    memory_.resize(size);
    const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(memory_.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return last_error();
    list_.reset(list);
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                   count_ * sizeof(HANDLE), nullptr, nullptr)) {
      return last_error();
    }
    return os_success();
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_.get(); }

 private:
  std::array<HANDLE, 3> handles_{};
  size_t count_ = 0;
  std::vector<std::byte> memory_;
  UniqueAttributeList list_;  // after memory_, so deleted before its memory goes
};

// What process creation is told besides the program and its command line. It points at the
// prepared standard handles and at its own list, so it stays in place for one launch.
struct CreationSettings {
  STARTUPINFOEXW startup{};
  DWORD flags = 0;
  BOOL inherit = TRUE;
  InheritanceList inherited;
};

OsStatus settle(CreationSettings& settings, const ChildCommand& command,
                const std::array<UniqueHandle, 3>& handles) {
  STARTUPINFOW& startup = settings.startup.StartupInfo;
  startup.cb = sizeof(STARTUPINFOW);
  if (handles[0].get() || handles[1].get() || handles[2].get()) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles[0].get();
    startup.hStdOutput = handles[1].get();
    startup.hStdError = handles[2].get();
  }
  settings.flags = command.creation_flags | CREATE_UNICODE_ENVIRONMENT;
  if (command.inheritance == HandleInheritance::every_inheritable) return os_success();
  if (const OsStatus named = settings.inherited.name(handles); !named) return named;
  settings.inherit = settings.inherited.get() != nullptr;  // none of ours to hand on: no inheritance
  if (settings.inherit) {
    startup.cb = sizeof(STARTUPINFOEXW);
    settings.startup.lpAttributeList = settings.inherited.get();
    settings.flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  return os_success();
}

struct ChildHandles {
  UniqueHandle process;
  UniqueHandle thread;
};

ChildResult<ChildHandles> launch(const ChildCommand& command) {
  auto program = resolve_program(command.program, system_search_environment());
  if (!program) return program.error();
  auto line = build_command_line(command.program, command.arguments);
  if (!line) return line.error();
  const std::wstring application = to_wide(program.value());
  std::wstring buffer(line.value().begin(), line.value().end());  // writable, NUL-terminated

  const ExclusiveLockGuard guard(launch_lock);
  constexpr std::array<DWORD, 3> kKinds = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  const std::array<std::optional<StdioDisposition>, 3> dispositions = {
      command.standard_input, command.standard_output, command.standard_error};
  std::array<UniqueHandle, 3> handles;
  for (size_t i = 0; i < kKinds.size(); ++i) {
    auto prepared = prepare_handle(kKinds[i], dispositions[i]);
    if (!prepared) return ChildError(prepared.error());
    handles[i] = std::move(prepared).value();
  }
  CreationSettings settings;  // after handles: its list goes before what it names
  if (const OsStatus settled = settle(settings, command, handles); !settled) {
    return ChildError(settled.error());
  }
  const std::optional<std::wstring> directory =
      command.working_directory ? std::optional(to_wide(*command.working_directory)) : std::nullopt;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, settings.inherit,
                      settings.flags, nullptr, directory ? directory->c_str() : nullptr,
                      &settings.startup.StartupInfo, &info)) {
    return last_launch_error();  // our copies close as the lock is released
  }
  return ChildHandles{UniqueHandle(info.hProcess), UniqueHandle(info.hThread)};
}

}  // namespace

static_assert(sizeof(STARTUPINFOW) == 104);

ChildResult<uint32_t> run_child(const ChildCommand& command) {
  auto launched = launch(command);
  if (!launched) return launched.error();
  ChildHandles child = std::move(launched).value();
  ChildResult<uint32_t> outcome = ChildError(OsError{0});
  if (WaitForSingleObject(child.process.get(), INFINITE) != WAIT_OBJECT_0) {
    outcome = last_launch_error();
  } else if (DWORD code = 0; !GetExitCodeProcess(child.process.get(), &code)) {
    outcome = last_launch_error();
  } else {
    outcome = static_cast<uint32_t>(code);
  }
  child.process.reset();  // process first, then thread
  child.thread.reset();
  return outcome;
}

ChildResult<std::monostate> start_child(const ChildCommand& command) {
  auto launched = launch(command);
  if (!launched) return launched.error();
  return std::monostate{};  // both handles close here, unawaited
}

}  // namespace koravane
