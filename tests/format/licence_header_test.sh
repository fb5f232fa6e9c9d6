#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every tracked source and script names its licence in an SPDX line near its top.
# Usage: licence_header_test.sh SOURCE_DIR
set -eu
cd "$1"
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "not a git checkout"; exit 77; }
missing=$(git ls-files -- '*.cpp' '*.h' '*.py' '*.sh' | while read -r f; do
    head -n 3 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$f"
done)
if [ -n "$missing" ]; then
    echo "FAIL: no SPDX licence line in:"
    echo "$missing"
    exit 1
fi
echo "licence headers: all present"
