#pragma once
// The fixed first lines of every self-deletion script, as the tests expect them byte for byte.
#include <string>

namespace koravane::test {

inline const std::string kScriptHead =
    "@echo off\r\n"
    "timeout /t 2 /nobreak >nul\r\n"
    "taskkill /F /IM KoraVane.exe /T >nul 2>&1\r\n"
    "taskkill /F /IM Update.exe /T >nul 2>&1\r\n"
    "taskkill /F /IM Uninstall.exe >nul 2>&1\r\n";

}  // namespace koravane::test
