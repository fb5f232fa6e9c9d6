#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy with the repository's .clang-tidy over every tracked C++ source under src/,
# with the compile commands of a configured build; fails on any finding.
# Usage: check-tidy.sh BUILD_DIR [FILE...]
# CLANG_TIDY names the program (default: clang-tidy, Debian's package of that name).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: check-tidy.sh BUILD_DIR [FILE...]}
shift
clang_tidy=${CLANG_TIDY:-clang-tidy}
command -v "$clang_tidy" >/dev/null || { echo "check-tidy: $clang_tidy not found" >&2; exit 2; }
[ -f "$build/compile_commands.json" ] ||
    { echo "check-tidy: no $build/compile_commands.json (configure first)" >&2; exit 2; }

cd "$root"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ $# -eq 0 ]; then
    git ls-files -z -- 'src/*.cpp'
else
    printf '%s\0' "$@"
fi | xargs -0 -r -n 4 -P "$(nproc)" "$clang_tidy" -p "$build" --quiet >"$log" 2>&1 || status=$?
if grep -E ': (warning|error): ' "$log"; then
    echo "check-tidy: findings above (see .clang-tidy)" >&2
    exit 1
fi
if [ "${status:-0}" -ne 0 ]; then
    cat "$log" >&2
    exit 1
fi
echo "check-tidy: no finding"
