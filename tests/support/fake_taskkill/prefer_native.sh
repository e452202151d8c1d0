#!/bin/bash
# Wine runs its builtin taskkill (which rejects "/T") even when system32 holds ours; a per-prefix
# DLL override makes the loader take the file in system32. Usage: prefer_native.sh PREFIX
set -euo pipefail
prefix=$1
tools=$(cd "$(dirname "$0")/../../../tools" && pwd)
bash "$tools/wine-prefix" "$prefix"
source "$tools/wine-env" "$prefix"
# The server and the prefix's services started here serve every test that follows. Started with
# no pipe of ctest's, they keep none open: a test that started them would otherwise count as
# running until the server went, and hold one of ctest's slots all that time.
wineserver -p 120 </dev/null >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\DllOverrides' /v taskkill.exe /d native /f </dev/null >/dev/null 2>&1
# Ours answers "nothing matched" with 128; the builtin would refuse "/T" with 1.
set +e
wine taskkill /F /IM koravane-nothing-by-this-name.exe /T >/dev/null 2>&1
status=$?
set -e
[ "$status" -eq 128 ] || { echo "prefer_native: taskkill in the prefix is not ours (exit $status)" >&2; exit 1; }
