# SPDX-License-Identifier: GPL-3.0-or-later
"""Progress chart: "Итоги_тренировок" draws the journal (dots where the rules place them), a
click brings the start screen back, "Выход" ends the program."""

import time

from e2e import Program, check, f32, fail, run

RED, GREEN, BLUE, BLACK = (255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 0, 0)
DAY = 86400


def training(day, hour, acuity, mean_time, volume, distance):
    """A training entry of March 2013, laid out as the training summary writes it."""
    line = " %02d.03.2013г, %2dч %2dм %2dс,                ОЗп=%4.2f%10.2f%6d  %4d." % (
        day, hour, 0, 0, acuity, mean_time, volume, distance)
    return line.encode("cp1251") + b"\r\n"


def check_entry(day, hour, acuity, distance):
    line = " %02d.03.2013г, %2dч %2dм %2dс,   ОЗи=%4.2f%s %4d." % (
        day, hour, 0, 0, acuity, " " * 32, distance)
    return line.encode("cp1251") + b"\r\n"


HEADER = "     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)".encode(
    "cp1251") + b"\r\n"

# Three days: a training on the 1st at 10:00, a check on the 2nd at 14:00, a training on the
# 3rd at 16:00. Volumes above mean times above distances, so that no bar covers a dot.
JOURNAL = (HEADER + training(1, 10, 0.8, 3.0, 160, 200) + check_entry(2, 14, 1.0, 300)
           + training(3, 16, 0.6, 3.5, 180, 250))
SPAN = 3 * DAY

# Regions of the 980 x 650 window: left, bottom, width, height in pixels, and the y maximum.
UPPER = (40, 468, 897, 433, 1.4)
LOWER = (40, 612, 897, 109, 1.0)


def pixel_of(region, x, y):
    """User coordinates to the pixel, in single precision as the plotting library does."""
    left, bottom, width, height, ymax = region
    ix = int(f32(f32(f32(f32(f32(x) / f32(SPAN)) * width) + left) + 0.5))
    iy = int(f32(f32(bottom - f32(f32(f32(y) / f32(ymax)) * height)) + 0.5))
    return ix, iy


def expected_dots():
    t1, t2, t3 = 10 * 3600, DAY + 14 * 3600, 2 * DAY + 16 * 3600
    return [
        ("training 1 acuity", BLUE, pixel_of(UPPER, t1, 0.8)),
        ("training 1 volume", GREEN, pixel_of(LOWER, t1, f32(160) / 200)),
        ("training 1 mean time", BLACK, pixel_of(LOWER, t1, f32(3.0) / 5)),
        ("training 1 distance", BLUE, pixel_of(LOWER, t1, f32(200) / 500)),
        ("check acuity", RED, pixel_of(UPPER, t2, 1.0)),
        ("check distance", RED, pixel_of(LOWER, t2, f32(300) / 500)),
        ("training 2 acuity", BLUE, pixel_of(UPPER, t3, 0.6)),
        ("training 2 volume", GREEN, pixel_of(LOWER, t3, f32(180) / 200)),
        ("training 2 mean time", BLACK, pixel_of(LOWER, t3, f32(3.5) / 5)),
        ("training 2 distance", BLUE, pixel_of(LOWER, t3, f32(250) / 500)),
    ]


def chart_frame_shown(shot):
    """The solid frame lines that neither the entries of this journal nor the labels reach."""
    top = all(shot.pixel(x, 35) == BLACK for x in range(40, 938))
    sides = all(shot.pixel(x, y) == BLACK for x in (40, 937)
                for y in list(range(35, 469)) + list(range(505, 612)))
    return top and sides


def chart_colours(shot):
    """Pixels in the chart's pure red, green or blue, sampled on a coarse grid."""
    n = 0
    for y in range(0, shot.height, 3):
        for x in range(0, shot.width, 3):
            if shot.pixel(x, y) in (RED, GREEN, BLUE):
                n += 1
    return n


def test(binary):
    p = Program(binary, files={"trelvan.rez": JOURNAL})
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(1.0)
        p.choose_menu(2)

        # The request is served at the start screen's next check (after a grey pause at most).
        end = time.time() + 10
        shot = p.surface()
        while not chart_frame_shown(shot) and time.time() < end:
            time.sleep(0.25)
            shot = p.surface()
        if not chart_frame_shown(shot):
            shot.save_png("/tmp/trelvan-e2e-chart.png")
            fail("no chart frame (screenshot /tmp/trelvan-e2e-chart.png)")
        time.sleep(1.0)
        shot = p.surface()

        wrong = []
        for name, colour, (x, y) in expected_dots():
            # The dot's centre and its neighbours left and right (the ellipse is 9 wide).
            got = [shot.pixel(x + dx, y) for dx in (-2, 0, 2)]
            if any(c != colour for c in got):
                wrong.append("%s at (%d, %d): %s, expected %s" % (name, x, y, got, colour))
        # Inside the regions, nothing in the chart's colours right of the last entry or left
        # of the first.
        last_x = pixel_of(UPPER, 2 * DAY + 16 * 3600, 0)[0]
        first_x = pixel_of(UPPER, 10 * 3600, 0)[0]
        for x in list(range(last_x + 6, 936, 7)) + list(range(42, first_x - 5, 7)):
            for y in list(range(36, 468)) + list(range(504, 612)):
                if shot.pixel(x, y) in (RED, GREEN, BLUE):
                    wrong.append("chart colour at (%d, %d)" % (x, y))
                    break
        if wrong:
            shot.save_png("/tmp/trelvan-e2e-chart.png")
            fail("; ".join(wrong[:6]) + " (screenshot /tmp/trelvan-e2e-chart.png)")

        # The chart waits for a click; then the start screen comes back.
        time.sleep(0.5)
        check(chart_frame_shown(p.surface()), "the chart went away without a click")
        p.click_surface(1)
        end = time.time() + 10
        shot = p.surface()
        while (chart_frame_shown(shot) or chart_colours(shot) > 0) and time.time() < end:
            time.sleep(0.25)
            shot = p.surface()
        if chart_frame_shown(shot) or chart_colours(shot) > 0:
            shot.save_png("/tmp/trelvan-e2e-chart-after.png")
            fail("the chart stays after the click (screenshot /tmp/trelvan-e2e-chart-after.png)")
        check(p.running(), "the click ended the program")
        check(p.read("trelvan.rez") == JOURNAL, "the journal changed")

        p.choose_menu(1)
        code = p.wait_exit(5)
        check(code == 0, "Выход: exit status %s" % code)
    finally:
        p.close()


run(test)
