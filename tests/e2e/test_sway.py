# SPDX-License-Identifier: GPL-3.0-or-later
"""The program on sway (wlroots; headless, one 1280x1024 output), which lays its outputs out in
logical pixels (mode / desktop scale): at 200 % no warning and the first start-screen picture
exactly as the rules make it; at 150 % and at 300 % (a scale that does not divide the mode)
the warning, since the compositor rescales the picture. At every scale the dialog shows and a
first start saves the output's own resolution, and no physical size the output did not
report."""

import time

from desktops import (Sway, program_file as state, screen_report, vvd_resolution,
                      wait)
from e2e import check, differences, fail, load_symbols, run, start_picture, Program
from wayland import find_picture

WIDTH, HEIGHT = 1280, 1024


def test(binary):
    expected = start_picture(2, False, load_symbols())
    for scale, logical, shown, warned in (("2", (640, 512), 200, 0),
                                          ("1.5", (853, 682), 150, 1),
                                          ("3", (426, 341), 300, 1)):
        desktop = Sway(WIDTH, HEIGHT, scale)
        p = None
        try:
            p = Program(binary, env=dict(desktop.env(), TRELVAN_DIALOG_LOG="dialog.log"))
            screen, warning = screen_report(p)
            check(screen == (WIDTH, HEIGHT, 0, 0, shown, 1 - warned, *logical),
                  "scale %s: screen %s" % (scale, screen))
            check(warning == warned, "scale %s: warning %s" % (scale, warning))
            if warned:
                # The message box has the keyboard focus; the dialog comes after it.
                check(not p.exists("dialog.log"), "scale %s: dialog beside the warning" % scale)
                desktop.key("Return")
            wait(lambda: p.exists("dialog.log"), "dialog", 20)
            time.sleep(0.3)
            check("label 1020 Экран по данным системы: %d × %d пикселей\n" % (WIDTH, HEIGHT)
                  in state(p, "dialog.log"),
                  "scale %s: screen line in %r" % (scale, state(p, "dialog.log")))
            desktop.key("Return")
            wait(lambda: p.exists("trelvan.vvd"), "trelvan.vvd after the dialog", 10)
            check(vvd_resolution(p) == (WIDTH, HEIGHT),
                  "scale %s: first start saved %s" % (scale, vvd_resolution(p)))
            if warned:
                continue
            end = time.time() + 10
            last = "not found"
            while True:
                shot = desktop.screenshot()
                at = find_picture(shot, expected)
                if at is not None:
                    diff = differences(shot.crop(*at, expected.width, expected.height),
                                       expected)
                    if not diff:
                        break
                    last = "at %s: %s" % (at, diff)
                if time.time() > end:
                    shot.save_png("/tmp/trelvan-e2e-sway.png")
                    fail("scale %s: start picture not on the output (%s); screenshot "
                         "/tmp/trelvan-e2e-sway.png" % (scale, last))
                time.sleep(0.2)
        finally:
            if p is not None:
                p.close()
            desktop.close()


run(test)
