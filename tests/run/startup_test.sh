#!/bin/bash
# Start-up from the shell under Wine: the real Uninstall.exe in a prepared install root, and the
# probe program in a folder so deep that its path is longer than 512 UTF-16 units.
# Usage: startup_test.sh TOOLS_DIR WINEPREFIX PROBE.exe UNINSTALL.exe SCRATCH_DIR
set -uo pipefail
tools=$1 prefix=$2 probe=$3 uninstall=$4 scratch=$5
source "$tools/wine-env" "$prefix"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Wine shows the Unix root as drive Z:.
dos_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$scratch"
mkdir -p "$scratch"

# 1. Uninstall.exe in a Cyrillic-named install root: the start line lands in its run log.
root="$scratch/Игры/КораВейн Лаунчер"
mkdir -p "$root/app-1.5.84" "$root/minecraft"
echo '{}' > "$root/current.json"
cp "$uninstall" "$root/Uninstall.exe"
(cd "$scratch" && wine "$root/Uninstall.exe" --headless /S) >/dev/null 2>&1
status=$?
[ "$status" -eq 0 ] || fail "Uninstall.exe exit code $status"
expected="Uninstall 1.5.84 start quiet=true root=$(dos_path "$root")"
log="$root/updates/rust-updater.log"
if [ -f "$log" ]; then
  [ "$(cat "$log")" = "$expected" ] || fail "log holds '$(cat "$log")', expected '$expected'"
  [ "$(tail -c1 "$log" | od -An -tx1 | tr -d ' ')" = "0a" ] || fail "log line does not end in LF"
else
  fail "no run log at $log"
fi

# 2. "--api /S" is interactive; the line is appended after the first one.
(cd "$scratch" && wine "$root/Uninstall.exe" --api /S) >/dev/null 2>&1
[ "$(sed -n 2p "$log" 2>/dev/null)" = "Uninstall 1.5.84 start quiet=false root=$(dos_path "$root")" ] ||
  fail "second line is '$(sed -n 2p "$log" 2>/dev/null)'"

# 3. No marker beside the program and no target: the working folder is the root.
plain="$scratch/без маркеров"
work="$scratch/рабочая папка"
mkdir -p "$plain" "$work"
cp "$uninstall" "$plain/Uninstall.exe"
(cd "$work" && wine "$plain/Uninstall.exe") >/dev/null 2>&1
[ "$(cat "$work/updates/rust-updater.log" 2>/dev/null)" = \
  "Uninstall 1.5.84 start quiet=false root=$(dos_path "$work")" ] || fail "working-folder root not logged"
[ ! -e "$plain/updates" ] || fail "a run log was made beside a program folder without markers"

# 4. The probe from a path longer than 512 units reads its own path completely.
deep="$scratch/длинный"
for part in a b c d e f; do deep="$deep/$(printf "$part%.0s" $(seq 80))-папка"; done
mkdir -p "$deep"
cp "$probe" "$deep/probe.exe"
expected_path=$(dos_path "$deep/probe.exe")
units=$(printf '%s' "$expected_path" | iconv -f UTF-8 -t UTF-16LE | wc -c)
units=$((units / 2))
[ "$units" -gt 512 ] || fail "deep path has only $units units"
export KORAVANE_PROBE_OUT
KORAVANE_PROBE_OUT=$(dos_path "$scratch/probe-out.txt")
(cd "$scratch" && wine "$deep/probe.exe") >/dev/null 2>&1
reported=$(head -n1 "$scratch/probe-out.txt" 2>/dev/null)
[ "$reported" = "$expected_path" ] || fail "probe reported '$reported' (expected $units units)"

[ "$failures" -eq 0 ] && echo "startup_test: all checks passed (deep path: $units units)"
exit $((failures > 0))
