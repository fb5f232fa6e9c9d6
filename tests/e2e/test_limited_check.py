# SPDX-License-Identifier: GPL-3.0-or-later
"""A vision check whose result the screen cannot show true to size: 24", 1920 x 1080, 200 cm,
every ring answered right. At 200 cm this screen draws the rings true to size up to 0.3 only,
so the result 2.0 is marked everywhere it appears: a line under the prompt on the result screen,
the mark in the journal line's skipped columns (columns 1-37 and 68-74 exactly as before), and
true_to in the CSV of trelvan-report."""

import os
import re
import subprocess
import time

from e2e import Program, Ran11, centre, check, run, wait_change, wait_figure

BLUE = (0, 0, 255)


def blue_pixels(img, y0, y1):
    return sum(1 for y in range(y0, y1) for x in range(40, 940) if img.pixel(x, y) == BLUE)


def vvd():
    lines = [("200.000", "  (дальность в сантиметрах)"),
             (" 24.000", "  (диагональ дисплея в дюймах)"),
             ("   1080", "  (разрешение экрана, пикселей по Y)"),
             ("   1920", "  (разрешение экрана, пикселей по X)"),
             ("    100", "  (объем тренировки)"),
             ("600.000", "  (время на ответ в секундах)"),
             ("      T", "  (признак включения звука)")]
    return b"".join((v + c).encode("cp1251") + b"\r\n" for v, c in lines)


def test(binary):
    p = Program(binary, files={"trelvan.vvd": vvd()}, env={"TRELVAN_DIALOG_LOG": "dialog.log"})
    ran = Ran11()
    ran()  # the first start-screen picture
    try:
        p.wait_window("Ввод параметров")
        time.sleep(0.5)
        with open(p.path("dialog.log"), encoding="utf-8") as f:
            log = f.read()
        check("Проверка зрения точна до 0.3;" in log, "dialog: %r" % log)
        p.confirm_dialog()
        p.geometry()
        time.sleep(2.0)
        p.click_surface(3)  # right click: the vision check
        for n in range(50):  # five levels of ten right answers: 0.1, 0.7, 1.0, 1.5, 2.0
            wait_figure(p, True)
            gap_right = ran() > 0.5
            ran()  # the tilt
            shown = centre(p.surface())
            p.click_surface(3 if gap_right else 1, 100, 600)
            if n + 1 < 50:
                wait_change(p, shown)
        end = time.time() + 10
        while time.time() < end and not p.exists("trelvan.rez"):
            time.sleep(0.1)
        check(p.exists("trelvan.rez"), "no journal written")
        lines = p.read("trelvan.rez").split(b"\r\n")
        check(len(lines) == 3 and lines[2] == b"", "journal lines %r" % lines)
        entry = lines[1]
        check(len(entry) == 74, "entry length %d" % len(entry))
        # Columns 1-37 as every version writes them, 68-74 the distance.
        check(re.fullmatch(r" \d\d\.\d\d\.\d{4}г, [ \d]\dч [ \d]\dм [ \d]\dс,   ОЗи=2\.00",
                           entry[:37].decode("cp1251")), "columns 1-37 %r" % entry[:37])
        check(entry[67:74] == b"   200.", "columns 68-74 %r" % entry[67:74])
        # The mark in 38-51: the highest level drawn true to size; the eye in 56-63.
        check(entry[37:67] == " экран до 0.30    гл.оба      ".encode("cp1251"),
              "columns 38-67 %r" % entry[37:67])

        time.sleep(0.5)
        result = p.surface()
        if blue_pixels(result, 600, 645) < 100:
            result.save_png("/tmp/limited-check-result.png")
        check(blue_pixels(result, 600, 645) >= 100, "no line on the limit under the prompt")
        check(blue_pixels(result, 185, 300) >= 500, "no result in large digits")

        report = os.path.join(os.path.dirname(os.path.abspath(binary)), "trelvan-report")
        csv = subprocess.run([report, "csv", p.path("trelvan.rez")], capture_output=True,
                             env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), timeout=20)
        check(csv.returncode == 0, "trelvan-report: %r" % csv.stderr)
        rows = csv.stdout.split(b"\r\n")
        check(rows[0] == b"date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye",
              "CSV header %r" % rows[0])
        check(re.fullmatch(
            rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d,check,2\.00,-0\.30,,,200,0\.30,both", rows[1]),
            "CSV row %r" % rows[1])

        check(p.running(), "program ended")
        p.click_surface(1)
        time.sleep(1.0)
        p.choose_menu(1)
        check(p.wait_exit(5) == 0, "exit status")
    finally:
        p.close()


run(test)
