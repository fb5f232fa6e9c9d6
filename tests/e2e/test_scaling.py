# SPDX-License-Identifier: GPL-3.0-or-later
"""One surface pixel is one device pixel under any desktop scaling: the first start-screen
picture on the screen equals the picture the rules make, and a click at a device pixel of the
surface reaches the program at that pixel."""

import os
import subprocess
import time

from e2e import Program, check, differences, fail, load_symbols, run, start_picture


def test(binary):
    expected = start_picture(2, False, load_symbols())
    for scale in ("1", "1.25", "1.5", "2"):
        dpi = str(int(96 * float(scale)))
        subprocess.run(["xrdb", "-merge"], input=("Xft.dpi: %s\n" % dpi).encode(), check=True)
        p = Program(binary, env={"QT_SCALE_FACTOR": scale, "QT_SCREEN_SCALE_FACTORS": scale,
                                 "TRELVAN_INPUT_LOG": "input.log"})
        try:
            p.confirm_dialog()
            g = p.geometry()
            check(g["surface"][2:] == (980, 650), "scale %s: surface %s" % (scale, g["surface"]))
            end = time.time() + 8
            diff = ["never compared"]
            while time.time() < end and diff:
                diff = differences(p.surface(), expected)
                time.sleep(0.25)
            if diff:
                fail("scale %s: picture differs: %s" % (scale, diff))
            s = g["surface"]
            p.move(s[0] + 123, s[1] + 457)
            p.click(1)
            time.sleep(0.3)
            with open(p.path("input.log")) as f:
                events = [tuple(int(v) for v in line.split()) for line in f]
            check(events and events[0] == (1, 1, 123, 457),
                  "scale %s: press reported as %s" % (scale, events[:1]))
            p.choose_menu(1)
            p.wait_exit(5)
        finally:
            p.close()
    subprocess.run(["xrdb", "-merge"], input=b"Xft.dpi: 96\n", check=True)


run(test)
