#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs two builds of trelvan-report on the same journals and compares what they give: the CSV
# byte for byte, the chart pixel for pixel (the PNG's bytes may differ), standard error and
# the exit status of both commands. Prints one line per journal; exit status 1 when any differ.
#
#   tools/compare-report-outputs.sh OLD_REPORT NEW_REPORT JOURNAL...
#
# Needs ImageMagick (convert) for the pixels.
set -u
old=$1
new=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0
for journal in "$@"; do
    verdict=same
    for build in old new; do
        eval "report=\$$build"
        "$report" csv "$journal" >"$work/$build.csv" 2>"$work/$build.csv.err"
        echo $? >>"$work/$build.csv.err"
        rm -f "$work/$build.png"
        "$report" chart "$journal" -o "$work/$build.png" 2>"$work/$build.png.err"
        echo $? >>"$work/$build.png.err"
        if [ -f "$work/$build.png" ]; then
            convert "$work/$build.png" -depth 8 rgb:"$work/$build.rgb"
        else
            : >"$work/$build.rgb"
        fi
    done
    for part in csv csv.err rgb png.err; do
        if ! cmp -s "$work/old.$part" "$work/new.$part"; then
            verdict="DIFFERENT ($part)"
            differ=1
        fi
    done
    echo "$verdict: $journal ($(wc -c <"$work/new.csv") CSV bytes, $(wc -c <"$work/new.rgb") pixel bytes)"
done
exit $differ
