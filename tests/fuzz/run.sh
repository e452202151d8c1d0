#!/bin/bash
# Builds a fuzz target natively with clang's libFuzzer, ASan and UBSan, and runs it for a bounded
# time. Fails on any crash, assertion (the library's own checks included) or sanitizer report.
# Usage: tests/fuzz/run.sh OUTPUT_DIR [SECONDS [TARGET]]
#   TARGET: command_line (the default: the command-line code) or references (the shell-link reader,
#   the command parser and the path decision of the removal's search for what points into it)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$1
seconds=${2:-30}
target=${3:-command_line}
case $target in
  command_line) sources=(src/platform/processes/child_process.cpp src/run/command_line/command_line_split.cpp
                         src/run/command_line/command_line_options.cpp) ;;
  references) sources=(src/removal/references/shell_link.cpp src/removal/references/references.cpp src/removal/steps/layout.cpp
                       src/platform/files/path_identity.cpp) ;;
  *) echo "run.sh: no fuzz target $target" >&2; exit 2 ;;
esac
# The command-line target keeps its folders where they always were.
[ "$target" = command_line ] || out=$out/$target
mkdir -p "$out/corpus" "$out/artifacts"
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -D_GLIBCXX_ASSERTIONS \
  -I "$root/src" \
  "$root/tests/fuzz/${target}_fuzz.cpp" "${sources[@]/#/$root/}" \
  "$root/src/platform/text/os_text.cpp" "$root/src/platform/text/path_text.cpp" \
  -o "$out/${target}_fuzz"
"$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/" "$out/corpus"
