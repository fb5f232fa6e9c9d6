#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The format check (tools/check-format.sh): it passes a file laid out as .clang-format asks,
# fails on one that is not and names it, and judges by the repository's style (four-column
# indents), not by clang-format's default one.
# Usage: check_format_test.sh SOURCE_DIR
set -eu
source=$1
check="$source/tools/check-format.sh"
command -v "${CLANG_FORMAT:-clang-format}" >/dev/null || { echo "clang-format missing"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

printf 'int twice(int v) {\n    return 2 * v;\n}\n' >"$scratch/formatted.cpp"
printf 'int twice(int v) {\n  return 2 * v;\n}\n' >"$scratch/two_columns.cpp"
printf 'int  twice( int v ){return 2*v;}\n' >"$scratch/unformatted.h"

"$check" "$scratch/formatted.cpp" >"$scratch/out" 2>&1 || fail "a formatted file was refused: $(cat "$scratch/out")"

status=0
"$check" "$scratch/formatted.cpp" "$scratch/unformatted.h" >"$scratch/out" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "an unformatted file passed"
grep -q 'unformatted\.h' "$scratch/out" || fail "the unformatted file is not named"
grep -q 'formatted\.cpp' "$scratch/out" && fail "the formatted file is named as well"

status=0
"$check" "$scratch/two_columns.cpp" >"$scratch/out" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "two-column indents passed: not the repository's style"

if [ "$failures" -ne 0 ]; then
    echo "format check test: $failures failures" >&2
    exit 1
fi
echo "format check test: all checks passed"
