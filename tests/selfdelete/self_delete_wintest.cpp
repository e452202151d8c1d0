#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/env.h"
#include "platform/os_text_win.h"
#include "platform/path_text.h"
#include "selfdelete/script_encoding_win.h"
#include "selfdelete/script_text.h"
#include "selfdelete/expected_script.h"
#include "selfdelete/self_delete.h"

#include "support/test_files_win.h"

namespace koravane {
namespace {

const std::string& kHead = test::kScriptHead;
const std::string kTail = "\r\ndel /f /q \"%~f0\" >nul 2>&1";

std::string per_path(const std::string& p) {
  return "if exist \"" + p + "\\*\" (rd /s /q \"" + p + "\") else if exist \"" + p +
         "\" (del /f /q \"" + p + "\" & rd /s /q \"" + p + "\" 2>nul)";
}

bool write_file(const std::string& path, std::string_view bytes) {
  HANDLE file = CreateFileW(to_wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// A new folder under the temporary folder (Wine reuses process ids, so the clock goes in too).
std::string fresh_folder(const std::string& name) {
  const std::string path = join_path(temp_folder().value(),
                                     name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                                         std::to_string(GetTickCount64()));
  CreateDirectoryW(to_wide(path).c_str(), nullptr);
  return path;
}

TEST(ScriptEncoding, CyrillicPathsBecomeOem866Bytes) {
  ASSERT_EQ(GetOEMCP(), 866u) << "the test prefix runs with LANG=ru_RU.UTF-8";
  const std::string bytes = script_bytes({"C:\\Users\\Иван\\Игры"}, encode_oem_lossless);
  // И в а н / И г р ы in code page 866.
  EXPECT_EQ(bytes, kHead + per_path("C:\\Users\\\x88\xa2\xa0\xad\\\x88\xa3\xe0\xeb") + kTail);
}

TEST(ScriptEncoding, AsciiPathsGiveThePlainFileByteForByte) {
  const std::string bytes = script_bytes({"C:\\Games\\KoraVane\\Update.exe", "C:\\R&D 100%"},
                                         encode_oem_lossless);
  EXPECT_EQ(bytes, kHead + per_path("C:\\Games\\KoraVane\\Update.exe") + "\r\n" +
                       per_path("C:\\R&D 100%%") + kTail);
}

TEST(ScriptEncoding, CharactersOutsideTheOemCodePageGiveUtf8WithCodePageSwitch) {
  // No best-fit: "é" must not quietly become "e" and name another folder.
  for (const std::string path : {"C:\\游戏\\😀", "C:\\Café\\Иван"}) {
    const std::string bytes = script_bytes({path}, encode_oem_lossless);
    EXPECT_EQ(bytes, "@echo off\r\nchcp 65001 >nul\r\n" + kHead.substr(11) + per_path(path) + kTail)
        << path;
  }
  EXPECT_EQ(encode_oem_lossless("Café"), std::nullopt);
}

TEST(SelfDeletion, NothingIsLoggedWhenTheScriptCannotBeWritten) {
  const std::string root = fresh_folder("koravane-sd-root");
  wchar_t saved[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  const std::string missing = join_path(root, "no-such-folder\\");
  SetEnvironmentVariableW(L"TMP", to_wide(missing).c_str());
  SetEnvironmentVariableW(L"TEMP", to_wide(missing).c_str());
  schedule_self_deletion({join_path(root, "x")}, root);
  SetEnvironmentVariableW(L"TMP", saved);
  SetEnvironmentVariableW(L"TEMP", saved);
  EXPECT_FALSE(test::path_exists(join_path(root, "updates\\rust-updater.log")));
  EXPECT_FALSE(test::path_exists(missing));
  RemoveDirectoryW(to_wide(root).c_str());
}

TEST(SelfDeletion, TheScriptRunsDeletesTheListedPathsAndItself) {
  const std::string base = fresh_folder("koravane-sd");
  const std::string root = join_path(base, "root");
  CreateDirectoryW(to_wide(root).c_str(), nullptr);
  const std::string folder = join_path(base, "Игры Ивана 100%");
  const std::string inner = join_path(folder, "saves");
  CreateDirectoryW(to_wide(folder).c_str(), nullptr);
  CreateDirectoryW(to_wide(inner).c_str(), nullptr);
  ASSERT_TRUE(write_file(join_path(inner, "мир.dat"), "x"));
  const std::string file = join_path(base, "Обновление & запуск.exe");
  ASSERT_TRUE(write_file(file, "MZ"));
  const std::string kept = join_path(base, "Игры");  // differs from the listed folder only by its tail
  CreateDirectoryW(to_wide(kept).c_str(), nullptr);

  // A running "Update.exe" (our timeout stand-in under that name) that the script must end.
  const std::string updater = join_path(base, "Update.exe");
  ASSERT_TRUE(CopyFileW(to_wide(join_path(system_directory().value(), "timeout.exe")).c_str(),
                        to_wide(updater).c_str(), FALSE));
  std::wstring updater_line = L"Update.exe /t 600 /nobreak";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(to_wide(updater).c_str(), updater_line.data(), nullptr, nullptr, FALSE,
                             0, nullptr, nullptr, &startup, &info));
  CloseHandle(info.hThread);

  schedule_self_deletion({folder, file}, root);

  const std::string script =
      join_path(temp_folder().value(), "koravane-uninstall-" + std::to_string(GetCurrentProcessId()) + ".cmd");
  EXPECT_EQ(test::read_all(join_path(root, "updates\\rust-updater.log")),
            "scheduled delete via " + script + "\n");
  // The script waits two seconds first; poll with a generous deadline.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while ((test::path_exists(folder) || test::path_exists(file) || test::path_exists(script)) &&
         std::chrono::steady_clock::now() < deadline) {
    Sleep(200);
  }
  EXPECT_FALSE(test::path_exists(folder));
  EXPECT_FALSE(test::path_exists(file));
  EXPECT_FALSE(test::path_exists(script));
  const DWORD ended = WaitForSingleObject(info.hProcess, 60000);
  if (ended != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 0);
  EXPECT_EQ(ended, WAIT_OBJECT_0) << "the script should have ended Update.exe";
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 1u) << "ended by taskkill, not by its own timeout";
  CloseHandle(info.hProcess);
  DeleteFileW(to_wide(updater).c_str());
  EXPECT_TRUE(test::path_exists(kept));
  RemoveDirectoryW(to_wide(kept).c_str());
  DeleteFileW(to_wide(join_path(root, "updates\\rust-updater.log")).c_str());
  RemoveDirectoryW(to_wide(join_path(root, "updates")).c_str());
  RemoveDirectoryW(to_wide(root).c_str());
  RemoveDirectoryW(to_wide(base).c_str());
}

}  // namespace
}  // namespace koravane
