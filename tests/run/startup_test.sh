#!/bin/bash
# Start-up from the shell under Wine: the probe program in a folder so deep that its path is
# longer than 512 UTF-16 units (Wine cannot start such a program from another Windows process).
# Usage: startup_test.sh TOOLS_DIR WINEPREFIX PROBE.exe SCRATCH_DIR
set -uo pipefail
tools=$1 prefix=$2 probe=$3 scratch=$4
source "$tools/wine-env" "$prefix"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Wine shows the Unix root as drive Z:.
dos_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$scratch"
mkdir -p "$scratch"

# The probe from a path longer than 512 units reads its own path completely. (Whole runs of
# Uninstall.exe, start line included, are checked by the whole-program test.)
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
