#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as built by CPack from the build tree: lintian finds no error or warning,
# it holds the copyright file, the Debian changelog, the manual pages and the AppStream
# metadata, and appstreamcli validates that metadata, whose launchable is the packaged desktop
# entry.
# Usage: package_test.sh BUILD_DIR [CPACK]
set -eu
build=$1
cpack=${2:-cpack}
for tool in lintian appstreamcli dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
set -- "$scratch"/out/trelvan_*.deb
[ -f "$1" ] || { echo "FAIL: no package in $scratch/out" >&2; exit 1; }
deb=$1

# --- lintian: no error, no warning (overrides in the package are honoured) --------------------
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' "$scratch/lintian.log")"

# --- Contents ----------------------------------------------------------------------------------
dpkg-deb -x "$deb" "$scratch/root"
root="$scratch/root"
doc="$root/usr/share/doc/trelvan"
grep -q '^License: GPL-3+$' "$doc/copyright" 2>/dev/null ||
    fail "usr/share/doc/trelvan/copyright does not grant the GPL, version 3 or later"
head -n 1 "$doc/copyright" 2>/dev/null |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "usr/share/doc/trelvan/copyright missing or not in the machine-readable format"
version=$(dpkg-deb -f "$deb" Version)
gzip -dc "$doc/changelog.Debian.gz" 2>/dev/null | head -n 1 | grep -qF "trelvan ($version)" ||
    fail "changelog.Debian.gz missing or not of version $version"
for page in trelvan trelvan-launch trelvan-report; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page.1.gz"
done

# --- AppStream ---------------------------------------------------------------------------------
set -- "$root"/usr/share/metainfo/*.metainfo.xml
if [ -f "$1" ]; then
    metainfo=$1
    appstreamcli validate --pedantic --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
        fail "appstreamcli validate: $(cat "$scratch/appstream.log")"
    # Infos only: no warning, no pedantic remark.
    grep -E '^[WEP]: ' "$scratch/appstream.log" >/dev/null &&
        fail "appstreamcli validate --pedantic: $(grep -E '^[WEP]: ' "$scratch/appstream.log")"
    grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" ||
        fail "the metainfo names no project_license GPL-3.0-or-later"
    grep -q '<developer id="[^"]\{1,\}">' "$metainfo" && grep -q '<name>' "$metainfo" ||
        fail "the metainfo has no developer with an id and a name"
    grep -q '<p xml:lang="ru">' "$metainfo" || fail "the metainfo has no Russian description"
    grep -q "<release version=\"$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')\"" "$metainfo" ||
        fail "the metainfo has no release of this version"
    grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "the metainfo has no OARS rating"
    id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
    [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "metainfo file not named by its id $id"
    desktop=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
    [ -n "$desktop" ] && [ -f "$root/usr/share/applications/$desktop" ] ||
        fail "the metainfo's launchable '$desktop' is not a packaged desktop entry"
else
    fail "no usr/share/metainfo/*.metainfo.xml"
fi

if [ "$failures" -ne 0 ]; then
    echo "package test: $failures failures" >&2
    exit 1
fi
echo "package test: all checks passed"
