#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails, naming the files and lines, when a C++ source differs from the repository's
# .clang-format.
# Usage: check-format.sh [FILE...]   without files: every tracked C++ source of the repository.
# CLANG_FORMAT names the program (default: clang-format, Debian's package of that name).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "check-format: $clang_format not found" >&2; exit 2; }

if [ $# -eq 0 ]; then
    cd "$root"
    git rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
        { echo "check-format: $root is not a git checkout" >&2; exit 2; }
    git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc' |
        xargs -0 -r "$clang_format" --style="file:$root/.clang-format" --dry-run --Werror
else
    "$clang_format" --style="file:$root/.clang-format" --dry-run --Werror "$@"
fi
