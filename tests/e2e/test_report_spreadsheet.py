# SPDX-License-Identifier: GPL-3.0-or-later
"""trelvan-report csv in a spreadsheet: LibreOffice (headless) opens the CSV under C.UTF-8 and
the --decimal-comma form under ru_RU.UTF-8, and every acuity, logMAR, mean time, volume and
distance must be a number and every date_time a date, the eye column text as written."""

import os
import shutil
import subprocess
import tempfile
import xml.etree.ElementTree as ET

from e2e import check, run
from report_journals import journal_bytes, three_months

SOFFICE = "/usr/bin/soffice"
NS = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
      "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}
VALUE_TYPE = "{%s}value-type" % NS["office"]
NUMBERS = ("acuity", "logmar", "mean_time_s", "volume", "distance_cm", "true_to")


def opened(work, name, csv, locale, separator):
    """The cells of the CSV as LibreOffice reads it in locale: rows of (type, text) pairs."""
    source = os.path.join(work, name + ".csv")
    with open(source, "wb") as f:
        f.write(csv)
    env = dict(os.environ, LANG=locale, LC_ALL=locale, HOME=work)
    out = os.path.join(work, "out-" + name)
    # Separator, text delimiter ", UTF-8, from row 1; the language is the locale's.
    r = subprocess.run([SOFFICE, "--headless", "--norestore",
                        "-env:UserInstallation=file://" + os.path.join(work, "profile-" + name),
                        "--infilter=CSV:%d,34,76,1" % ord(separator), "--convert-to", "fods",
                        "--outdir", out, source], env=env, capture_output=True, timeout=240)
    fods = os.path.join(out, name + ".fods")
    check(r.returncode == 0 and os.path.exists(fods),
          "soffice %s: status %d, %r" % (name, r.returncode, r.stderr[-2000:]))
    rows = []
    for row in ET.parse(fods).getroot().iter("{%s}table-row" % NS["table"]):
        cells = []
        for cell in row.findall("table:table-cell", NS):
            repeat = int(cell.get("{%s}number-columns-repeated" % NS["table"], "1"))
            text = "".join(cell.itertext()).strip()
            cells += [(cell.get(VALUE_TYPE), text)] * min(repeat, 20)
        rows.append(cells)
    return rows


def check_cells(rows, name, decimal, count):
    header = [text for _, text in rows[0]][:9]
    check(header == ["date_time", "kind", "acuity", "logmar", "mean_time_s", "volume",
                     "distance_cm", "true_to", "eye"], "%s: header %r" % (name, header))
    entries = [r for r in rows[1:] if r and r[0][1]]
    check(len(entries) == count, "%s: %d rows, not %d" % (name, len(entries), count))
    eyes = set()
    for row in entries:
        kind = row[1][1]
        check(row[0][0] == "date", "%s: date_time is %r" % (name, row[0]))
        for column, (vtype, text) in zip(header[2:8], row[2:8]):
            if column == "mean_time_s" and kind == "check" or column == "volume" and kind == \
                    "check" or column == "true_to" and not text:
                continue
            check(vtype == "float", "%s: %s of a %s is %r" % (name, column, kind, (vtype, text)))
            check("." not in text if decimal == "," else "," not in text,
                  "%s: %s shown as %r" % (name, column, text))
        check(row[8][0] == "string", "%s: eye %r" % (name, row[8]))
        eyes.add(row[8][1])
    check(eyes == {"right", "left"}, "%s: eyes %r" % (name, eyes))


def test(binary):
    report = os.path.join(os.path.dirname(binary), "trelvan-report")
    work = tempfile.mkdtemp(prefix="trelvan-e2e-csv-")
    try:
        journal = os.path.join(work, "trelvan.rez")
        with open(journal, "wb") as f:
            f.write(journal_bytes(three_months()))
        plain = subprocess.run([report, "csv", journal], capture_output=True, timeout=60)
        comma = subprocess.run([report, "csv", "--decimal-comma", journal], capture_output=True,
                               timeout=60)
        check(plain.returncode == 0 and comma.returncode == 0, "csv: %r %r" % (plain, comma))
        count = plain.stdout.count(b"\r\n") - 1
        check(count == 106, "csv: %d rows" % count)
        check_cells(opened(work, "c", plain.stdout, "C.UTF-8", ","), "C.UTF-8", ".", count)
        check_cells(opened(work, "ru", comma.stdout, "ru_RU.UTF-8", ";"), "ru_RU.UTF-8", ",",
                    count)
    finally:
        shutil.rmtree(work, ignore_errors=True)


run(test)
