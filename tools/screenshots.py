#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Screenshots of the real program for the README: the parameter dialog, the start screen, a
training picture, a vision check's result and the progress chart. Runs build/trelvan under its
own Xvfb (openbox decorates the windows) and writes docs/screenshots/*.png.

Usage: tools/screenshots.py BUILD/trelvan [OUTPUT_DIR]"""

import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

import e2e  # noqa: E402
from e2e import Program, check, default_vvd, wait_figure, xdotool  # noqa: E402

IMPORT = "/usr/bin/import"


def journal():
    """Three weeks of made-up results: trainings at two sizes and two vision checks."""
    head = "     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)"
    lines = [head]
    for day in range(1, 22):
        acuity = 0.41 + 0.02 * day if day % 3 else 0.55 + 0.01 * day
        lines.append(" %02d.11.2026г, %2dч %2dм %2dс,                ОЗп=%4.2f%10.2f%6d  %4d." % (
            day, 18, 5 + day, 7, acuity, 2.4 - 0.03 * day, 100, 200))
        if day in (1, 21):
            lines.append(" %02d.11.2026г, %2dч %2dм %2dс,   ОЗи=%4.2f%s %4d." % (
                day, 19, 0, 0, 0.6 if day == 1 else 0.8, " " * 32, 200))
    return "".join(line + "\r\n" for line in lines).encode("cp1251")


def grab(window, path):
    xdotool("mousemove", 1270, 1010)  # the pointer out of the picture
    time.sleep(0.2)
    subprocess.run([IMPORT, "-frame", "-window", window, path], check=True, timeout=30)
    print("wrote", path)


def frame_window():
    out = xdotool("search", "--onlyvisible", "--name", "TRELVAN")
    return out.split()[0]


def start_display():
    """A private Xvfb with openbox; returns the processes to stop."""
    for n in range(150, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            break
    display = ":%d" % n
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-noreset",
                             "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = display
    for _ in range(100):
        if subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    return [wm, xvfb]


def main():
    for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
        os.environ.pop(name, None)
    servers = start_display()
    try:
        shoot()
    finally:
        for s in servers:
            s.terminate()
            s.wait()


def shoot():
    binary = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else
                          os.path.join(SOURCE, "docs", "screenshots"))
    os.makedirs(out, exist_ok=True)
    # A 24-inch screen of 1920 x 1080 at 200 cm, as many users have it.
    vvd = default_vvd().replace(b" 17.700  (", b" 24.000  (").replace(
        b"    768  (", b"   1080  (").replace(b"   1024  (", b"   1920  (")
    p = Program(binary, files={"trelvan.vvd": vvd, "trelvan.rez": journal()})
    try:
        dialog = p.wait_window("Ввод параметров")
        time.sleep(1.0)
        grab(dialog, os.path.join(out, "dialog.png"))
        p.key(dialog, "Return")
        p.geometry()
        time.sleep(2.5)
        grab(frame_window(), os.path.join(out, "start-screen.png"))

        p.click_surface(1)  # a training at the size on show
        time.sleep(2.5)
        grab(frame_window(), os.path.join(out, "training.png"))
        p.move(p.geometry()["surface"][0] + 490, p.geometry()["surface"][1] + 400)
        p.down(1)
        p.down(3)
        time.sleep(0.1)
        p.up(1)
        p.up(3)
        time.sleep(1.5)

        p.choose_menu(2)  # the progress chart
        time.sleep(2.0)
        grab(frame_window(), os.path.join(out, "chart.png"))
        p.click_surface(1, 490, 630)
        time.sleep(1.5)

        # A vision check answered by looking: the gap is on the side with fewer black pixels.
        # It has ended when the journal has grown by its line.
        size = len(p.read("trelvan.rez"))
        p.click_surface(3)
        end = time.time() + 240
        while time.time() < end and len(p.read("trelvan.rez")) == size:
            img = p.surface()
            if not (e2e.figure_shown(img) and e2e.gap_cut(img)):
                time.sleep(0.05)
                continue
            time.sleep(0.15)
            c = e2e.centre(p.surface())
            left = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(70))
            right = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(71, 141))
            p.click_surface(3 if right < left else 1, 100, 600)
            while time.time() < end and e2e.centre(p.surface()) == c:
                if len(p.read("trelvan.rez")) != size:
                    break
                time.sleep(0.05)
        time.sleep(1.0)
        check(len(p.read("trelvan.rez")) != size, "no check finished")
        grab(frame_window(), os.path.join(out, "result.png"))
        p.click_surface(1)
        time.sleep(1.0)
        p.choose_menu(1)
        p.wait_exit(10)
    finally:
        p.close()


if __name__ == "__main__":
    main()
