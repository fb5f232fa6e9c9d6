# SPDX-License-Identifier: GPL-3.0-or-later
"""The bank card measure of the ruler window: the outline of a card of 85.60 mm is made wider
with the arrow keys and then set with the mouse, measured on screenshots each time, and the
diagonal it gives is written to trelvan.vvd."""

import time

from e2e import Program, check, default_vvd, longest_black_run, run, screenshot, xdotool


def window_box(window):
    geometry = xdotool("getwindowgeometry", "--shell", window)
    g = dict(line.split("=") for line in geometry.split())
    return tuple(int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def outline(window):
    """Width, left column and top row (screen pixels) of the longest black run in the window:
    the top edge of the card's outline."""
    x0, y0, w, h = window_box(window)
    length, x, y = longest_black_run(screenshot().crop(x0, y0, w, h))
    return length, x0 + x, y0 + y


def wait_outline(window, wanted, timeout=5):
    end = time.time() + timeout
    found = outline(window)
    while found[0] != wanted and time.time() < end:
        time.sleep(0.1)
        found = outline(window)
    return found


def test(binary):
    vvd = default_vvd().replace(b"   1024  (", b"   1280  (").replace(b"    768  (", b"   1024  (")
    p = Program(binary, files={"trelvan.vvd": vvd})
    try:
        wid = p.wait_window("Ввод параметров")
        xdotool("windowfocus", "--sync", wid)
        for _ in range(4):  # past the two buttons and two fields to "Измерить линейкой…"
            xdotool("key", "Tab")
        xdotool("key", "Return")
        ruler = p.wait_window("Измерение линейкой")
        time.sleep(0.3)
        xdotool("windowfocus", "--sync", ruler)
        xdotool("key", "ctrl+Tab")  # the tab "Банковская карта"; the outline takes the keys
        time.sleep(0.3)
        start, left, top = outline(ruler)
        check(100 <= start <= 1000, "outline of %d pixels" % start)
        xdotool("key", "shift+Right", "shift+Right", "Right", "Right", "Right", "Left")
        wider = wait_outline(ruler, start + 22)
        check(wider[0] == start + 22 and wider[1:] == (left, top),
              "after the keys: %r, %r wanted" % (wider, (start + 22, left, top)))
        # The pointer on column 299 from the outline's left edge: 300 pixels wide.
        p.move(left + 299, top + 5)
        p.click(1)
        clicked = wait_outline(ruler, 300)
        check(clicked[0] == 300, "after the click: %d pixels" % clicked[0])
        xdotool("key", "Return")
        time.sleep(0.5)
        check(not p.windows("Измерение линейкой"), "the ruler window stays")
        xdotool("windowfocus", "--sync", wid)
        xdotool("key", "Tab")  # to Ny; Enter in a field starts the work
        xdotool("key", "Return")
        end = time.time() + 10
        lines = p.read("trelvan.vvd").split(b"\r\n")
        while lines[1][:7] == b" 17.700" and time.time() < end:
            time.sleep(0.1)
            lines = p.read("trelvan.vvd").split(b"\r\n")
        # 85.60 mm over 300 pixels, sqrt(1280^2 + 1024^2) = 1639.2 pixels across: 18.41 inches.
        check(lines[1][:7] == b" 18.410", "diagonal line %r" % lines[1])
    finally:
        p.close()


run(test)
