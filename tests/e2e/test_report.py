# SPDX-License-Identifier: GPL-3.0-or-later
"""trelvan-report against the real program: the chart that "Итоги_тренировок" shows on the
screen and the PNG that trelvan-report draws of the same journal agree pixel for pixel outside
the prompt, which only the program shows. The CSV of the journal comes out as well."""

import os
import subprocess
import tempfile
import time

from e2e import CONVERT, Program, check, fail, parse_ppm, run, xdotool

PROMPT = (0x00, 0xAA, 0xDD)  # 0xDDAA00 as red, green, blue
BLACK = (0, 0, 0)
# The prompt "Для продолжения нажмите любую кнопку мыши" at (265, 621), 28 pixels high: a box
# clear of the lower region's frame (row 612) and of the start and end dates (x < 245 and
# x >= 748).
PROMPT_BOX = (255, 615, 745, 650)  # left, top, right, bottom (exclusive)


def training(day, hour, acuity, mean_time, volume, distance):
    line = " %02d.03.2013г, %2dч %2dм %2dс,                ОЗп=%4.2f%10.2f%6d  %4d." % (
        day, hour, 5, 7, acuity, mean_time, volume, distance)
    return line.encode("cp1251") + b"\r\n"


def check_entry(day, hour, acuity, distance):
    line = " %02d.03.2013г, %2dч %2dм %2dс,   ОЗи=%4.2f%s %4d." % (
        day, hour, 30, 0, acuity, " " * 32, distance)
    return line.encode("cp1251") + b"\r\n"


HEADER = "     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)".encode(
    "cp1251") + b"\r\n"

JOURNAL = (HEADER + training(1, 10, 0.8, 3.0, 160, 200) + check_entry(2, 14, 1.0, 300)
           + training(3, 16, 0.6, 3.5, 180, 250) + check_entry(4, 9, 2.0, 600)
           + training(6, 20, 0.35, 0.9, 300, 150))

CSV = (b"date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye\r\n"
       b"2013-03-01T10:05:07,training,0.80,0.10,3.00,160,200,,both\r\n"
       b"2013-03-02T14:30:00,check,1.00,0.00,,,300,,both\r\n"
       b"2013-03-03T16:05:07,training,0.60,0.22,3.50,180,250,,both\r\n"
       b"2013-03-04T09:30:00,check,2.00,-0.30,,,600,,both\r\n"
       b"2013-03-06T20:05:07,training,0.35,0.46,0.90,300,150,,both\r\n")


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    return parse_ppm(data)


def report_image(report, journal, workdir):
    png = os.path.join(workdir, "report.png")
    ppm = os.path.join(workdir, "report.ppm")
    r = subprocess.run([report, "chart", journal, "-o", png], capture_output=True, timeout=60)
    check(r.returncode == 0, "trelvan-report chart: status %d, %r" % (r.returncode, r.stderr))
    subprocess.run([CONVERT, png, "-depth", "8", "ppm:" + ppm], check=True, timeout=60)
    return read_ppm(ppm)


def chart_frame_shown(shot):
    """The frame's sides (its top carries the check of 2.0 on the border)."""
    return all(shot.pixel(x, y) == BLACK for x in (40, 937)
               for y in list(range(35, 469)) + list(range(505, 612)))


def in_prompt_box(x, y):
    left, top, right, bottom = PROMPT_BOX
    return left <= x < right and top <= y < bottom


def compare(screen, report):
    """Differences outside the prompt's box, and the prompt's pixels in each picture."""
    outside, prompt_on_screen, prompt_in_report = [], 0, 0
    for y in range(screen.height):
        for x in range(screen.width):
            a, b = screen.pixel(x, y), report.pixel(x, y)
            if in_prompt_box(x, y):
                prompt_on_screen += a == PROMPT
                prompt_in_report += b == PROMPT
            elif a != b:
                outside.append((x, y, a, b))
    return outside, prompt_on_screen, prompt_in_report


def test(binary):
    report = os.path.join(os.path.dirname(binary), "trelvan-report")
    check(os.access(report, os.X_OK), "no trelvan-report beside " + binary)
    p = Program(binary, files={"trelvan.rez": JOURNAL})
    work = tempfile.mkdtemp(prefix="trelvan-e2e-report-")
    try:
        open_chart(p)
        end = time.time() + 10
        shot = p.surface()
        while not chart_frame_shown(shot) and time.time() < end:
            time.sleep(0.25)
            shot = p.surface()
        if not chart_frame_shown(shot):
            shot.save_png("/tmp/trelvan-e2e-report.png")
            fail("no chart frame (screenshot /tmp/trelvan-e2e-report.png)")
        # The pointer off the surface, then the picture once the chart is complete.
        xdotool("mousemove", 1279, 1023)
        time.sleep(1.0)
        shot = p.surface()
        check((shot.width, shot.height) == (980, 650),
              "surface %dx%d" % (shot.width, shot.height))

        picture = report_image(report, p.path("trelvan.rez"), work)
        check((picture.width, picture.height) == (980, 650),
              "report %dx%d" % (picture.width, picture.height))
        outside, on_screen, in_report = compare(shot, picture)
        if outside:
            shot.save_png("/tmp/trelvan-e2e-report-screen.png")
            picture.save_png("/tmp/trelvan-e2e-report-png.png")
            fail("%d pixels differ outside the prompt, first %s (pictures "
                 "/tmp/trelvan-e2e-report-screen.png and /tmp/trelvan-e2e-report-png.png)"
                 % (len(outside), outside[:3]))
        check(on_screen > 200, "the prompt is not on the screen (%d pixels)" % on_screen)
        check(in_report == 0, "the report shows the prompt (%d pixels)" % in_report)

        r = subprocess.run([report, "csv"], cwd=p.dir, capture_output=True, timeout=60)
        check(r.returncode == 0 and r.stderr == b"", "csv: %d %r" % (r.returncode, r.stderr))
        check(r.stdout == CSV, "csv output: %r" % r.stdout)

        check(p.read("trelvan.rez") == JOURNAL, "the journal changed")
        leave_chart_and_exit(p)
    finally:
        p.close()
        subprocess.run(["rm", "-rf", work])


def open_chart(p):
    """The dialog confirmed, "Итоги_тренировок" chosen once the start screen stands."""
    p.confirm_dialog()
    p.geometry()
    time.sleep(1.0)
    p.choose_menu(2)


def leave_chart_and_exit(p):
    """A click leaves the chart, then "Выход" ends the program."""
    p.click_surface(1)
    time.sleep(0.5)
    p.choose_menu(1)
    code = p.wait_exit(5)
    check(code == 0, "Выход: exit status %s" % code)


def reddish(rgb):
    """Red ink of the note (colour 1 of the plotting library), its smoothed edges included."""
    r, g, b = rgb
    return r > 200 and g < 160 and b < 160 and abs(g - b) < 40
NOTE_BAND = (200, 620, 745, 650)  # the note's line between the start and end dates


def test_utf8_journal(binary, report):
    """A journal saved in UTF-8: the chart on the screen says so at the bottom, in red, and
    the report's PNG shows the same note and warns on standard error."""
    p = Program(binary, files={"trelvan.rez": JOURNAL.decode("cp1251").encode("utf-8")})
    work = tempfile.mkdtemp(prefix="trelvan-e2e-report-")
    try:
        open_chart(p)
        xdotool("mousemove", 1279, 1023)
        left, top, right, bottom = NOTE_BAND
        end = time.time() + 10
        red = 0
        while time.time() < end:
            time.sleep(0.25)
            shot = p.surface()
            red = sum(reddish(shot.pixel(x, y)) for y in range(top, bottom)
                      for x in range(left, right))
            if red > 100:
                break
        if red <= 100:
            shot.save_png("/tmp/trelvan-e2e-report-utf8.png")
            fail("no note on the chart of a UTF-8 journal (%d red pixels; screenshot "
                 "/tmp/trelvan-e2e-report-utf8.png)" % red)
        picture = report_image(report, p.path("trelvan.rez"), work)
        in_report = sum(reddish(picture.pixel(x, y)) for y in range(top, bottom)
                        for x in range(left, right))
        check(in_report > 100, "no note in the report's PNG (%d red pixels)" % in_report)
        r = subprocess.run([report, "csv"], cwd=p.dir, capture_output=True, timeout=60)
        check(r.returncode == 0 and b"UTF-8" in r.stderr, "csv: %d %r" % (r.returncode, r.stderr))
        leave_chart_and_exit(p)
    finally:
        p.close()
        subprocess.run(["rm", "-rf", work])


def test_all(binary):
    test(binary)
    test_utf8_journal(binary, os.path.join(os.path.dirname(binary), "trelvan-report"))


run(test_all)
