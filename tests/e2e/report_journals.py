# SPDX-License-Identifier: GPL-3.0-or-later
"""Journals with the eye marks for the end-to-end tests of trelvan-report, written as the
program writes them (Windows-1251, CR LF), and PNG files read back as pixels."""

import datetime
import os
import subprocess
import tempfile

from e2e import CONVERT, parse_ppm

HEADER = "     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)"
EYE_MARKS = {"both": "гл.оба  ", "right": "гл.прав ", "left": "гл.лев  "}
START = datetime.datetime(2013, 3, 4, 18, 0, 0)  # a Monday


def stamp(t):
    return " %02d.%02d.%04dг, %2dч %2dм %2dс," % (t.day, t.month, t.year, t.hour, t.minute,
                                                   t.second)


def training(t, acuity, distance, eye=None, mean_time=1.5, volume=100):
    """A training entry; the eye mark, when given, in columns 34-41."""
    middle = " " * 16 if eye is None else " " * 7 + EYE_MARKS[eye] + " "
    return stamp(t) + middle + "ОЗп=%4.2f%10.2f%6d  %4d." % (acuity, mean_time, volume, distance)


def check_entry(t, acuity, distance, eye=None, true_to=None):
    """A vision check entry: the screen-limit mark in 38-51, the eye mark in 56-63."""
    between = [" "] * 32
    if true_to is not None:
        between[0:14] = " экран до %4.2f" % true_to
    if eye is not None:
        between[18:26] = EYE_MARKS[eye]
    return stamp(t) + "   ОЗи=%4.2f" % acuity + "".join(between) + "%5d." % distance


def journal_bytes(lines):
    return ("\r\n".join([HEADER] + lines) + "\r\n").encode("cp1251")


def three_months():
    """Every other day for three months, a training of each eye alternately at 66 and 200 cm,
    and every two weeks a check of each eye at 200 cm (the right one's later ones limited)."""
    lines = []
    for d in range(0, 91, 2):
        t = START + datetime.timedelta(days=d)
        distance = 66 if d % 4 == 0 else 200
        lines.append(training(t, 0.8 + d / 91 * 0.4, distance, "right"))
        lines.append(training(t + datetime.timedelta(minutes=10), 0.5 + d / 91 * 0.4, distance,
                              "left"))
        if d % 14 == 0:
            lines.append(check_entry(t + datetime.timedelta(hours=1), 0.9 + d / 200, 200, "right",
                                     0.8 if d > 40 else None))
            lines.append(check_entry(t + datetime.timedelta(hours=1, minutes=5), 0.6 + d / 200,
                                     200, "left"))
    return lines


def one_entry():
    return [check_entry(START, 1.0, 200)]


def stops_early():
    """Two weeks of entries, then a hand-edited line (line 12 of the file) and more after it."""
    lines = three_months()[:10]
    return lines + ["XX.03.2013г, 12ч  0м  0с,   ОЗи=1.00"] + three_months()[10:20]


def load_png(path):
    fd, ppm = tempfile.mkstemp(suffix=".ppm")
    os.close(fd)
    try:
        subprocess.run([CONVERT, path, "-depth", "8", "ppm:" + ppm], check=True, timeout=60)
        with open(ppm, "rb") as f:
            data = f.read()
    finally:
        os.remove(ppm)
    return parse_ppm(data)
