#!/bin/bash
# Builds the command-line fuzz target natively with clang's libFuzzer, ASan and UBSan, and runs it
# for a bounded time. Fails on any crash, assertion or sanitizer report.
# Usage: tests/fuzz/run.sh OUTPUT_DIR [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$1
seconds=${2:-30}
mkdir -p "$out/corpus" "$out/artifacts"
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I "$root/src" \
  "$root/tests/fuzz/command_line_fuzz.cpp" \
  "$root/src/platform/child_process.cpp" "$root/src/platform/os_text.cpp" \
  "$root/src/platform/path_text.cpp" "$root/src/run/command_line_split.cpp" \
  "$root/src/run/command_line_options.cpp" \
  -o "$out/command_line_fuzz"
"$out/command_line_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/" "$out/corpus"
