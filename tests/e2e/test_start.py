# SPDX-License-Identifier: GPL-3.0-or-later
"""Start-up: the parameter dialog confirmed with Enter writes trelvan.vvd (at a first start with
the resolution of the X screen, 1280 x 1024); the frame, the menu
and the graphics window stand where they belong; the first two start-screen pictures (sizes 2
and 3) are the ones the rules make; "Инструкция" shows the about box; both buttons end the program."""

import time

from e2e import (Program, check, default_vvd, differences, fail, load_symbols, run,
                 start_picture)


def first_picture_shown(p, expected, timeout=8):
    end = time.time() + timeout
    last = None
    while time.time() < end:
        shot = p.surface()
        last = differences(shot, expected)
        if not last:
            return shot
        time.sleep(0.25)
    shot.save_png("/tmp/trelvan-e2e-start.png")
    fail("first start-screen picture differs, e.g. %s (screenshot /tmp/trelvan-e2e-start.png)"
         % (last,))


def test(binary):
    p = Program(binary)
    try:
        p.confirm_dialog()
        end = time.time() + 10
        while not p.exists("trelvan.vvd") and time.time() < end:
            time.sleep(0.05)
        expected = default_vvd().replace(b"    768  (", b"   1024  (").replace(
            b"   1024  (" + "разрешение экрана, пикселей по X".encode("cp1251"),
            b"   1280  (" + "разрешение экрана, пикселей по X".encode("cp1251"))
        check(p.read("trelvan.vvd") == expected, "trelvan.vvd bytes differ")

        g = p.geometry()
        check(g["client"][2:] == (1024, 768), "client area %s" % (g["client"],))
        check(g["surface"][2:] == (980, 650), "surface %s" % (g["surface"],))
        frame = p.windows("TRELVAN")
        check(frame, "no frame window")
        check(all(("menu%d" % i) in g for i in (1, 2, 3)), "menu items %s" % g)
        check(g["menu1"][0] < g["menu2"][0] < g["menu3"][0], "menu order")

        # The first picture: size 2, the figure on the left (the first random value is small).
        figures = load_symbols()
        first_picture_shown(p, start_picture(2, False, figures))
        # Five seconds later the sweep shows size 3 (the second random value is small too).
        first_picture_shown(p, start_picture(3, False, figures), timeout=10)

        # The about box, then back.
        before = set(p.windows("TRELVAN"))
        p.choose_menu(3)
        end = time.time() + 10
        about = []
        while time.time() < end and not about:
            about = [w for w in p.windows("TRELVAN") if w not in before]
            time.sleep(0.1)
        check(about, "no about box")
        p.key(about[0], "Return")
        time.sleep(0.3)
        check(p.running(), "the about box ended the program")

        # Both buttons: nothing happens until both are released.
        s = p.geometry()["surface"]
        p.move(s[0] + 400, s[1] + 300)
        p.down(1)
        time.sleep(0.1)
        p.down(3)
        time.sleep(0.1)
        p.up(1)
        time.sleep(0.8)
        check(p.running(), "ended before both buttons were released")
        p.up(3)
        code = p.wait_exit(5)
        check(code == 0, "exit status %s" % code)
    finally:
        p.close()


run(test)
