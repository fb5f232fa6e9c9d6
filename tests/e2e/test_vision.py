# SPDX-License-Identifier: GPL-3.0-or-later
"""A whole vision check with real X clicks: right answers at 0.1 (the gap's side follows the
fixed random sequence), wrong answers at 0.7, 0.4 and 0.2, so the measured acuity is 0.1; the
journal gets its check line. At 30 cm before the default screen not even the gap of 0.1 is drawn
true to size, so the result screen adds its line on the limit under the prompt and the journal
line carries the mark. A click on the
result screen returns to the start screen."""

import time

from e2e import Program, Ran11, centre, check, default_vvd, run, wait_change, wait_figure

BLUE = (0, 0, 255)


def blue_pixels(img, y0, y1):
    return sum(1 for y in range(y0, y1) for x in range(40, 940) if img.pixel(x, y) == BLUE)


def test(binary):
    p = Program(binary, files={"trelvan.vvd": default_vvd().replace(b"200.000  (", b" 30.000  (")})
    ran = Ran11()
    ran()  # the first start-screen picture
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(2.0)
        p.click_surface(3)  # right click: the vision check
        answers = [True] * 10 + [False] * 9
        for n, right in enumerate(answers):
            wait_figure(p, True)
            gap_right = ran() > 0.5
            ran()  # the tilt
            button = 3 if gap_right == right else 1
            shown = centre(p.surface())
            p.click_surface(button, 100, 600)
            if n + 1 < len(answers):
                wait_change(p, shown)
        end = time.time() + 10
        while time.time() < end and not p.exists("trelvan.rez"):
            time.sleep(0.1)
        if not p.exists("trelvan.rez"):
            p.surface().save_png("/tmp/vision-end.png")
        check(p.exists("trelvan.rez"), "no journal written")
        lines = p.read("trelvan.rez").split(b"\r\n")
        check(len(lines) == 3, "journal lines %r" % lines)
        check(len(lines[0]) == 115, "check header length %d" % len(lines[0]))
        entry = lines[1]
        check(len(entry) == 74, "entry length %d" % len(entry))
        check(entry[29:33] == "ОЗи=".encode("cp1251"), "marker %r" % entry)
        check(entry[33:37] == b"0.10", "acuity %r" % entry[33:37])
        check(entry[37:51] == " экран до 0.00".encode("cp1251"), "mark %r" % entry)
        check(entry[51:69] == "    гл.оба        ".encode("cp1251") and entry[69:74] == b"  30.",
              "eye and distance %r" % entry)
        time.sleep(0.5)
        result = p.surface()
        if blue_pixels(result, 600, 645) < 100:
            result.save_png("/tmp/vision-result.png")
        check(blue_pixels(result, 600, 645) >= 100, "no line on the limit under the prompt")
        check(p.running(), "program ended")
        p.click_surface(1)
        time.sleep(1.0)
        p.choose_menu(1)
        check(p.wait_exit(5) == 0, "exit status")
    finally:
        p.close()


run(test)
