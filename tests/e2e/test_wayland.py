# SPDX-License-Identifier: GPL-3.0-or-later
"""The program as a native Wayland client (weston at output scales 1 and 2): the first
start-screen picture stands on the output exactly as the rules make it, opaque, one surface
pixel to one device pixel; a click at a device pixel of the surface reaches the program at that
pixel. An X connection inside a Wayland session is announced before the parameter dialog."""

import time

from e2e import Program, check, differences, fail, load_symbols, run, start_picture
from wayland import Weston, find_picture

DIALOG = "Ввод параметров"


def confirm_dialog(weston):
    """New windows get no keyboard focus here: a click on the title bar first."""
    name, x1, y1, x2, y2 = weston.window(DIALOG)
    s = weston.scale
    weston.point(s * (x1 + x2) // 2, s * (y1 + 12))
    weston.pointer_click(1)
    time.sleep(0.1)
    weston.key("Return")
    weston.wait(lambda: not [v for v in weston.views() if DIALOG in v[0]], "dialog closed", 10)


def picture_on_output(weston, expected, timeout=8):
    """Polls screenshots until the picture stands somewhere on the output, exactly."""
    end = time.time() + timeout
    last = "not found"
    while time.time() < end:
        shot, alpha = weston.screenshot()
        at = find_picture(shot, expected)
        if at is not None:
            x, y = at
            diff = differences(shot.crop(x, y, expected.width, expected.height), expected)
            opaque = all(alpha[(y + r) * shot.width + x:(y + r) * shot.width + x +
                               expected.width] == b"\xff" * expected.width
                         for r in range(expected.height))
            if not diff and opaque:
                return at
            last = "at %s: %s, opaque %s" % (at, diff, opaque)
        time.sleep(0.2)
    shot.save_png("/tmp/trelvan-e2e-wayland.png")
    fail("scale %d: start picture not on the output (%s); screenshot "
         "/tmp/trelvan-e2e-wayland.png" % (weston.scale, last))


def test(binary):
    expected = start_picture(2, False, load_symbols())
    # Output sizes in logical pixels: the frame fits, its status bar included, and weston's X
    # window leaves room around it for the pointer to leave and enter.
    for scale, size, pixel in ((1, (1200, 960), (123, 457)), (2, (600, 500), (124, 458))):
        weston = Weston(scale, *size)
        p = None
        try:
            p = Program(binary, env=dict(weston.env(), TRELVAN_INPUT_LOG="input.log"))
            confirm_dialog(weston)
            weston.keep_inside("TRELVAN")
            # Out of the picture's way: the pointer is drawn into the screenshots.
            weston.point(scale * 300, scale * 10)
            x, y = picture_on_output(weston, expected)
            g = p.geometry()
            check(g["percent"] == (100 * scale,), "scale %d: ratio %s" % (scale, g["percent"]))
            weston.point(x + pixel[0], y + pixel[1])
            weston.pointer_click(3)
            end = time.time() + 5
            events = []
            while time.time() < end and not events:
                if p.exists("input.log"):
                    with open(p.path("input.log")) as f:
                        events = [tuple(int(v) for v in line.split()) for line in f]
                time.sleep(0.05)
            check(events and events[0] == (8, 2, *pixel),
                  "scale %d: right press at %s reported as %s" % (scale, pixel, events[:1]))
        finally:
            if p is not None:
                p.close()
            weston.close()

    # The same session seen through an X connection: the user is told before the dialog.
    weston = Weston(1, 1200, 960)
    p = Program(binary, env=dict(weston.env(), QT_QPA_PLATFORM="xcb"))
    try:
        # The frame and the message box carry the program's caption.
        end = time.time() + 20
        while time.time() < end and len(p.windows("TRELVAN")) < 2:
            check(p.running() and not p.windows(DIALOG), "no warning before the dialog")
            time.sleep(0.1)
        boxes = p.windows("TRELVAN")
        check(len(boxes) >= 2, "no warning")
        time.sleep(0.3)
        check(not p.windows(DIALOG), "the dialog stands beside the warning")
        p.key(boxes[-1], "Return")
        p.wait_window(DIALOG)
    finally:
        p.close()
        weston.close()


run(test)
