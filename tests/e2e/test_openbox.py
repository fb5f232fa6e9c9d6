# SPDX-License-Identifier: GPL-3.0-or-later
"""The program under an X window manager (openbox): the decorated frame stands at the top-left
corner with its title bar on the screen and a client area of 1024 by 768; the start picture is
exact; the graphics window cannot be closed on its own; the parameter dialog cannot be
maximised, comes back when minimised, and its window manager's close box quits like
"Выйти из программы"."""

import os
import re
import subprocess
import time

from e2e import (Program, check, differences, fail, load_symbols, run, start_picture,
                 xdotool)

DIALOG = "Ввод параметров"


def xprop(window, *names):
    return subprocess.run(["xprop", "-id", str(window), *names], capture_output=True,
                          text=True).stdout


def start_openbox():
    wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    end = time.time() + 20
    while time.time() < end:
        out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                             capture_output=True, text=True).stdout
        if "window id" in out:
            return wm
        time.sleep(0.05)
    wm.kill()
    fail("openbox did not start")


def frame_outer(window):
    """Top-left corner of the window manager's frame around the window, and the window's
    own size."""
    info = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True,
                          text=True).stdout
    m = re.search(r"_NET_FRAME_EXTENTS\(CARDINAL\) = (\d+), (\d+), (\d+), (\d+)",
                  xprop(window, "_NET_FRAME_EXTENTS"))
    if not m:
        return None
    left, _, top, _ = (int(v) for v in m.groups())
    x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
    y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
    return x - left, y - top


def wait_for(condition, what, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return
        time.sleep(0.05)
    fail(what)


def input_events(p):
    if not p.exists("input.log"):
        return []
    with open(p.path("input.log")) as f:
        return [tuple(int(v) for v in line.split()) for line in f]


def test(binary):
    expected = start_picture(2, False, load_symbols())
    wm = start_openbox()
    try:
        p = Program(binary, env={"TRELVAN_INPUT_LOG": "input.log"})
        try:
            dialog = p.wait_window(DIALOG)
            wait_for(lambda: "_NET_WM_ACTION_MOVE" in xprop(dialog, "_NET_WM_ALLOWED_ACTIONS"),
                     "the window manager did not take the dialog")
            actions = xprop(dialog, "_NET_WM_ALLOWED_ACTIONS")
            check("MAXIMIZE" not in actions and "RESIZE" not in actions,
                  "the dialog can be maximised or resized: %s" % actions)
            xdotool("windowminimize", dialog)
            time.sleep(0.3)
            wait_for(lambda: "Normal" in xprop(dialog, "WM_STATE") and p.windows(DIALOG),
                     "the minimised dialog stayed out of sight")
            p.confirm_dialog()

            frames = []
            wait_for(lambda: frames.extend(p.windows("TRELVAN")) or frames,
                     "the frame is out of sight")
            frame = frames[0]
            wait_for(lambda: frame_outer(frame) == (0, 0) and
                     p.geometry()["client"][2:] == (1024, 768),
                     "frame at %s, client %s" % (frame_outer(frame), p.geometry()["client"]))
            diff = ["never compared"]
            end = time.time() + 8
            while time.time() < end and diff:
                diff = differences(p.surface(), expected)
                time.sleep(0.2)
            if diff:
                fail("picture under the window manager differs: %s" % diff)

            # Where a close box of the graphics window would be, and the usual key.
            c = p.geometry()["client"]
            p.move(c[0] + c[2] - 12, c[1] + 10)
            p.click(1)
            p.move(c[0] + 500, c[1] + 300)
            xdotool("key", "ctrl+F4")
            time.sleep(0.3)
            check(p.running(), "the program ended")
            s = p.geometry()["surface"]
            p.move(s[0] + 123, s[1] + 457)
            p.click(3)
            wait_for(lambda: (8, 2, 123, 457) in input_events(p),
                     "no click reached the graphics window: %s" % input_events(p))
            p.choose_menu(1)
            check(p.wait_exit(5) == 0, "Выход: exit status")
        finally:
            p.close()

        # The dialog's close box, as the window manager offers it (Alt+F4 in openbox).
        p = Program(binary)
        try:
            dialog = p.wait_window(DIALOG)
            xdotool("windowactivate", "--sync", dialog)
            xdotool("key", "alt+F4")
            check(p.wait_exit(5) == 0, "closing the dialog: exit status")
            check(not p.exists("trelvan.vvd"), "closing the dialog wrote trelvan.vvd")
        finally:
            p.close()
    finally:
        wm.terminate()
        wm.wait()


run(test)
