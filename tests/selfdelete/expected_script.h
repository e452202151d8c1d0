#pragma once
// The fixed first lines of every self-deletion script, as the tests expect them byte for byte.
#include <string>

#include "selfdelete/script_text.h"

namespace koravane::test {

inline const ScriptOwner kScriptOwner{4242, "Uninstall.exe"};

inline const std::string kScriptHead =
    "@echo off\r\n"
    "setlocal EnableExtensions DisableDelayedExpansion\r\n"
    "timeout /t 2 /nobreak <con >nul\r\n"
    "taskkill /F /IM KoraVane.exe /T >nul 2>&1\r\n"
    "taskkill /F /PID 4242 /FI \"IMAGENAME eq Uninstall.exe\" >nul 2>&1\r\n";

}  // namespace koravane::test
