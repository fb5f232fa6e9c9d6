#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed tree (cmake --install into a scratch prefix) and the launcher's first start
# with a stand-in program, so no window opens.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR [CMAKE]
set -eu
build=$1
source=$2
cmake=${3:-cmake}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

# --- The files under the prefix --------------------------------------------------------------
[ -x "$prefix/bin/trelvan" ] || fail "bin/trelvan missing or not executable"
[ -x "$prefix/bin/trelvan-launch" ] || fail "bin/trelvan-launch missing or not executable"
cmp -s "$prefix/share/trelvan/trelvan.sym" "$source/resources/trelvan.sym" ||
    fail "share/trelvan/trelvan.sym is not the supplied figures"
icon="$prefix/share/icons/hicolor/scalable/apps/trelvan.svg"
grep -q '<svg' "$icon" 2>/dev/null || fail "no SVG icon at $icon"
entry="$prefix/share/applications/trelvan.desktop"
if [ -f "$entry" ]; then
    for line in '[Desktop Entry]' 'Type=Application' 'Name=TRELVAN' \
        "Exec=$prefix/bin/trelvan-launch" 'Icon=trelvan' 'Terminal=false' \
        'Categories=Education;MedicalSoftware;'; do
        grep -qxF "$line" "$entry" || fail "desktop entry lacks the line $line"
    done
    grep -q '^Comment=Тренажер для глаз' "$entry" || fail "desktop entry comment"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$entry" || fail "desktop-file-validate"
    fi
else
    fail "no desktop entry at $entry"
fi
grep -qxF "$prefix/share/applications/trelvan.desktop" "$build/install_manifest.txt" ||
    fail "the desktop entry is not in install_manifest.txt"

# --- The launcher --------------------------------------------------------------------------
# The stand-in records its working directory and arguments, and ends with status 3.
fake="$scratch/fake-program"
cat >"$fake" <<'FAKE'
#!/bin/sh
pwd >"$TRELVAN_TEST_RECORD"
echo "$@" >>"$TRELVAN_TEST_RECORD"
exit 3
FAKE
chmod +x "$fake"
record="$scratch/record"

launch() {
    status=0
    env "$@" TRELVAN_PROGRAM="$fake" TRELVAN_TEST_RECORD="$record" \
        "$prefix/bin/trelvan-launch" one two || status=$?
}

# A fresh XDG_DATA_HOME: the directory is made and seeded; the program runs in it.
data="$scratch/xdg/trelvan"
launch HOME="$scratch/home" XDG_DATA_HOME="$scratch/xdg"
[ "$status" = 3 ] || fail "launcher status $status, not the program's 3"
cmp -s "$data/trelvan.sym" "$source/resources/trelvan.sym" || fail "trelvan.sym not seeded"
[ "$(sed -n 1p "$record" 2>/dev/null)" = "$data" ] || fail "program ran in $(sed -n 1p "$record")"
[ "$(sed -n 2p "$record" 2>/dev/null)" = "one two" ] || fail "arguments not passed on"
[ "$(ls -A "$data")" = "trelvan.sym" ] || fail "other files in $data: $(ls -A "$data")"

# A trelvan.sym already there is kept.
printf 'mine\r\n' >"$data/trelvan.sym"
launch HOME="$scratch/home" XDG_DATA_HOME="$scratch/xdg"
[ "$(cat "$data/trelvan.sym")" = "$(printf 'mine\r\n')" ] || fail "existing trelvan.sym replaced"

# Without XDG_DATA_HOME, or with a relative one: ~/.local/share/trelvan.
home_data="$scratch/home/.local/share/trelvan"
launch -u XDG_DATA_HOME HOME="$scratch/home"
[ "$(sed -n 1p "$record")" = "$home_data" ] || fail "default directory: $(sed -n 1p "$record")"
[ -f "$home_data/trelvan.sym" ] || fail "default directory not seeded"
rm -rf "$scratch/home"
launch HOME="$scratch/home" XDG_DATA_HOME="relative/xdg"
[ "$(sed -n 1p "$record")" = "$home_data" ] || fail "relative XDG_DATA_HOME not ignored"

# Through a symbolic link (as from a directory on PATH) it still finds its figures.
ln -s "$prefix/bin/trelvan-launch" "$scratch/linked-launch"
rm -rf "$scratch/xdg2"
env TRELVAN_PROGRAM="$fake" TRELVAN_TEST_RECORD="$record" XDG_DATA_HOME="$scratch/xdg2" \
    "$scratch/linked-launch" || true
[ -f "$scratch/xdg2/trelvan/trelvan.sym" ] || fail "launcher run through a link found no figures"

if [ "$failures" -ne 0 ]; then
    echo "install test: $failures failures" >&2
    exit 1
fi
echo "install test: all checks passed"
