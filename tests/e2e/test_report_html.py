# SPDX-License-Identifier: GPL-3.0-or-later
"""trelvan-report html in a real browser: Debian's headless Chromium takes a screenshot of the
report of three journals (one entry; three months of both eyes at two distances; a journal
that stops early), and the pixels must show the charts, their series and their date labels,
and the line that stopped the reading."""

import os
import shutil
import subprocess
import tempfile

from e2e import check, fail, run
from report_journals import journal_bytes, load_png, one_entry, stops_early, three_months

CHROMIUM = "/usr/bin/chromium"
WIDTH, HEIGHT = 1000, 2400
RIGHT_EYE = (0xC0, 0x39, 0x2B)
LEFT_EYE = (0x1F, 0x5F, 0xBF)
BOTH_EYES = (0x22, 0x22, 0x22)


def near(a, b, tolerance=3):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def count(img, colour):
    return sum(1 for y in range(img.height) for x in range(img.width)
               if near(img.pixel(x, y), colour))


def shoot(html, png, work):
    profile = tempfile.mkdtemp(dir=work)
    r = subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        "--user-data-dir=" + profile, "--hide-scrollbars",
                        "--window-size=%d,%d" % (WIDTH, HEIGHT), "--screenshot=" + png,
                        "file://" + html], capture_output=True, timeout=120)
    check(r.returncode == 0 and os.path.exists(png),
          "chromium: status %d, %r" % (r.returncode, r.stderr[-2000:]))
    return load_png(png)


def hidden(html, work, name, selector):
    """A copy of the report with the elements of selector invisible (their place kept)."""
    with open(html, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("</head>", "<style>%s { visibility: hidden; }</style></head>" % selector)
    path = os.path.join(work, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def changed_rows(a, b):
    """The rows where the two screenshots differ, and whether the first has dark pixels there."""
    rows, dark = [], False
    for y in range(a.height):
        row_a = a.rgb[3 * y * a.width:3 * (y + 1) * a.width]
        if row_a == b.rgb[3 * y * b.width:3 * (y + 1) * b.width]:
            continue
        rows.append(y)
        dark = dark or any(max(a.pixel(x, y)) < 100 for x in range(a.width)
                           if a.pixel(x, y) != b.pixel(x, y))
    return rows, dark


def bands(rows):
    """Runs of consecutive rows, as (first, last)."""
    out = []
    for y in rows:
        if out and y <= out[-1][1] + 1:
            out[-1] = (out[-1][0], y)
        else:
            out.append((y, y))
    return out


def report(binary_dir, lines, work, name):
    journal = os.path.join(work, name + ".rez")
    with open(journal, "wb") as f:
        f.write(journal_bytes(lines))
    html = os.path.join(work, name + ".html")
    r = subprocess.run([os.path.join(binary_dir, "trelvan-report"), "html", journal, "-o", html],
                       capture_output=True, timeout=60)
    check(r.returncode == 0, "html %s: status %d, %r" % (name, r.returncode, r.stderr))
    with open(html, encoding="utf-8") as f:
        text = f.read()
    check("<script" not in text and "src=" not in text, "%s: not self-contained" % name)
    return html, r.stderr.decode("utf-8", "replace")


def date_labels_shown(html, shot, work, name, panels):
    """Hiding the date labels changes one thin band under each chart, with dark text in it."""
    plain = shoot(hidden(html, work, name + "-nodates.html", ".date"),
                  os.path.join(work, name + "-nodates.png"), work)
    rows, dark = changed_rows(shot, plain)
    found = bands(rows)
    check(dark, "%s: no dark pixels where the date labels stand" % name)
    check(len(found) == panels and all(last - first < 20 for first, last in found),
          "%s: the date labels are not %d rows of text: %s" % (name, panels, found))


def test(binary):
    binary_dir = os.path.dirname(binary)
    work = tempfile.mkdtemp(prefix="trelvan-e2e-html-")
    try:
        # Three months of both eyes at 66 and 200 cm: two panels, a series per eye and kind.
        html, _ = report(binary_dir, three_months(), work, "three")
        shot = shoot(html, os.path.join(work, "three.png"), work)
        right, left = count(shot, RIGHT_EYE), count(shot, LEFT_EYE)
        check(right > 500 and left > 500, "three months: right %d, left %d pixels" % (right, left))
        date_labels_shown(html, shot, work, "three", 2)

        # One entry: one panel with one square of both eyes and its legend.
        html, _ = report(binary_dir, one_entry(), work, "one")
        shot = shoot(html, os.path.join(work, "one.png"), work)
        both = count(shot, BOTH_EYES)
        check(both >= 100, "one entry: %d pixels of its square and legend" % both)
        date_labels_shown(html, shot, work, "one", 1)

        # A journal that stops at line 12: the line is named, in red, with its number.
        html, err = report(binary_dir, stops_early(), work, "early")
        check(":12:" in err, "early: standard error does not name line 12: %r" % err)
        with open(html, encoding="utf-8") as f:
            check("Строка 12: дата или время не читаются" in f.read(), "early: line 12 not named")
        shot = shoot(html, os.path.join(work, "early.png"), work)
        plain = shoot(hidden(html, work, "early-noproblem.html", ".problem"),
                      os.path.join(work, "early-noproblem.png"), work)
        rows, _ = changed_rows(shot, plain)
        red = sum(1 for y in rows for x in range(shot.width)
                  if near(shot.pixel(x, y), (0xA0, 0, 0), 40))
        check(rows and red > 50, "early: the unreadable line's note is not shown (%d red)" % red)
        date_labels_shown(html, shot, work, "early", 2)
    except SystemExit:
        kept = "/tmp/trelvan-e2e-html"
        shutil.rmtree(kept, ignore_errors=True)
        shutil.copytree(work, kept, ignore=shutil.ignore_patterns("tmp*"))
        print("screenshots kept in", kept)
        raise
    finally:
        shutil.rmtree(work, ignore_errors=True)


run(test)
