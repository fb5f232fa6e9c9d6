# SPDX-License-Identifier: GPL-3.0-or-later
"""The real screen in the parameter dialog, on an X server of a size and pixel density this test
sets: the dialog's line about the screen and its marks, the diagonal a first start takes from the
reported size, the ruler window's bar measured on a screenshot, and the diagonal the ruler sets
written to trelvan.vvd."""

import os
import re
import subprocess
import time

from e2e import (Program, check, default_vvd, fail, longest_black_run, run, screenshot,
                 xdotool)

WIDTH, HEIGHT, DPI = 1600, 1200, 120
BAR = 1500  # the longest bar of whole hundreds that fits 1600 pixels with a margin
PINK = (0xff, 0xb0, 0xb0)


def free_display():
    for n in range(150, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return ":%d" % n
    fail("no free X display")


class Server:
    """An Xvfb of WIDTH x HEIGHT pixels at DPI. Its RandR output reports no physical size, and
    Qt then assumes 96 pixels per inch: a monitor with the server's millimetres gives the
    size the way a real screen's EDID does."""

    def __init__(self):
        self.display = free_display()
        self.proc = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT), "-dpi",
             str(DPI), "-noreset", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = dict(os.environ, DISPLAY=self.display)
        for _ in range(100):
            r = subprocess.run(["xdpyinfo"], env=self.env, capture_output=True, text=True)
            if r.returncode == 0:
                break
            time.sleep(0.1)
        m = re.search(r"dimensions:\s+(\d+)x(\d+) pixels \((\d+)x(\d+) millimeters\)", r.stdout)
        check(m, "no screen dimensions from xdpyinfo")
        self.mm = (int(m.group(3)), int(m.group(4)))
        subprocess.run(["xrandr", "--setmonitor", "TEST",
                        "%d/%dx%d/%d+0+0" % (WIDTH, self.mm[0], HEIGHT, self.mm[1]), "screen"],
                       env=self.env, check=True, capture_output=True)
        os.environ["DISPLAY"] = self.display  # for xdotool and import

    def close(self):
        self.proc.kill()
        self.proc.wait()


def dialog_state(p, wanted, timeout=10):
    """The dialog's logged texts and marks, once wanted(state) holds."""
    end = time.time() + timeout
    state = None
    while time.time() < end:
        try:
            with open(p.path("dialog.log"), encoding="utf-8") as f:
                lines = f.read().split("\n")
            state = {"marked": set()}
            for line in lines:
                if line.startswith("label "):
                    _, number, text = line.split(" ", 2)
                    state[int(number)] = text.replace("\\n", "\n")
                elif line.startswith("marked "):
                    state["marked"].add(int(line.split()[1]))
            if wanted(state):
                return state
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    fail("dialog state %r" % (state,))


def window_image(window):
    geometry = xdotool("getwindowgeometry", "--shell", window)
    g = dict(line.split("=") for line in geometry.split())
    x, y, w, h = (int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    return screenshot().crop(x, y, w, h)


def pink_pixels(window):
    img = window_image(window)
    return sum(1 for i in range(0, len(img.rgb), 3) if tuple(img.rgb[i:i + 3]) == PINK)


def test(binary):
    server = Server()
    inches = (server.mm[0] ** 2 + server.mm[1] ** 2) ** 0.5 / 25.4
    screen_line = "Экран по данным системы: %d × %d пикселей, %d × %d мм, %.1f″" % (
        WIDTH, HEIGHT, server.mm[0], server.mm[1], inches)
    try:
        # An old parameter file of another screen: both resolution fields are marked.
        p = Program(binary, files={"trelvan.vvd": default_vvd()},
                    env={"DISPLAY": server.display, "TRELVAN_DIALOG_LOG": "dialog.log"})
        try:
            wid = p.wait_window("Ввод параметров")
            s = dialog_state(p, lambda s: 1020 in s)
            check(s[1020] == screen_line + "\nразрешение в полях Nx, Ny другое — проверьте его",
                  "screen line %r" % s[1020])
            check(s["marked"] == {1002, 1003}, "marked %r" % s["marked"])
            check(s[1021].startswith("Проверка зрения точна до"), "accuracy %r" % s[1021])
            check(pink_pixels(wid) > 200, "no marked field on the screen")
            # The accuracy line follows the distance as it is typed.
            xdotool("windowfocus", "--sync", wid)
            xdotool("key", "Tab", "Tab", "ctrl+a")
            xdotool("type", "1500")
            typed = dialog_state(p, lambda t: t.get(1021) != s[1021])
            check(typed[1021].startswith("Проверка зрения точна до 1.0;"), "at 15 m: %r" % typed[1021])
            p.key(wid, "Escape")
            p.wait_exit(5)
        finally:
            p.close()

        # A first start: the fields take the screen's resolution and nothing is marked.
        p = Program(binary, env={"DISPLAY": server.display, "TRELVAN_DIALOG_LOG": "dialog.log"})
        try:
            wid = p.wait_window("Ввод параметров")
            before = dialog_state(p, lambda s: 1020 in s)
            # The reported size is plausible: the diagonal comes from it, to be checked.
            check(before[1020] == screen_line +
                  "\nдиагональ по данным системы — проверьте линейкой",
                  "screen line %r" % before[1020])
            check(not before["marked"], "marked %r" % before["marked"])
            check(pink_pixels(wid) == 0, "a field is marked on the screen")

            # Tab to "Измерить линейкой…" (after the two buttons and two fields) and press it.
            xdotool("windowfocus", "--sync", wid)
            for _ in range(4):
                xdotool("key", "Tab")
            xdotool("key", "Return")
            ruler = p.wait_window("Измерение линейкой")
            time.sleep(0.3)
            img = window_image(ruler)
            length, x, y = longest_black_run(img)
            if length != BAR:
                img.save_png("/tmp/ruler.png")
            check(length == BAR, "bar of %d pixels, %d wanted" % (length, BAR))
            for mark_x in (x, x + BAR - 1):
                check(img.pixel(mark_x, y - 12) == (0, 0, 0) and img.pixel(mark_x, y + 12) == (0, 0, 0),
                      "no end mark at %d" % mark_x)
            check(img.pixel(x + BAR // 2, y - 12) != (0, 0, 0), "the bar is thin, the marks tall")

            # 381 mm over 1500 pixels: 0.254 mm a pixel, 2000 pixels across make 20 inches.
            p.type(ruler, "381")
            xdotool("key", "Return")
            after = dialog_state(p, lambda s: s.get(1021) != before[1021])
            check(after[1021].startswith("Проверка зрения точна до"), "accuracy %r" % after[1021])
            check(after[1020] == screen_line, "measured: %r" % after[1020])
            xdotool("windowfocus", "--sync", wid)
            xdotool("key", "Tab")  # to Ny; Enter in a field starts the work
            xdotool("key", "Return")
            end = time.time() + 10
            while not p.exists("trelvan.vvd") and time.time() < end:
                time.sleep(0.1)
            lines = p.read("trelvan.vvd").split(b"\r\n")
            check(len(lines) == 8 and lines[7] == b"", "seven lines: %r" % lines)
            check(lines[1] == " 20.000  (диагональ дисплея в дюймах)".encode("cp1251"),
                  "diagonal line %r" % lines[1])
            check(lines[2][:7] == b"   1200" and lines[3][:7] == b"   1600",
                  "resolution %r" % lines[2:4])
        finally:
            p.close()
    finally:
        server.close()


run(test)
