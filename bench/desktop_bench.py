# SPDX-License-Identifier: GPL-3.0-or-later
"""The running program under a private Xvfb, driven with xdotool and XTEST: the CPU it uses
while it waits for an answer in a training, how soon its program thread wakes after a click,
and how far its answer times lie from presses sent at known times after each picture reached
the X server.

    python3 bench/desktop_bench.py build/trelvan [--clicks N] [--idle SECONDS]

The CPU figure is utime + stime of the whole process (all its threads) from /proc/PID/stat
over the idle period. The wake figures come from the program itself (TRELVAN_WAKE_LOG): the
time from the Qt input thread handing a mouse event on to the program thread returning from
its wait for input.
"""

import argparse
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))

from e2e import Program, Ran11, default_vvd, fail, xdotool  # noqa: E402

GREEN = 0x00FF00  # the status bar while an answer is awaited (X pixel 0xRRGGBB)
WHITE = 0xFFFFFF
GREY = 0x808080
STATUS = (500, 15)  # a pixel of the status bar, surface coordinates


class Xvfb:
    """A private X server on a free display, stopped on close."""

    def __init__(self):
        self.display = None
        for n in range(160, 220):
            if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists(
                    "/tmp/.X%d-lock" % n):
                self.display = ":%d" % n
                break
        if self.display is None:
            fail("no free X display")
        self.log = open(os.path.join(tempfile.gettempdir(), "trelvan-bench-xvfb.log"), "wb")
        self.proc = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1280x1024x24", "-noreset", "-nolisten",
             "tcp"], stdout=self.log, stderr=subprocess.STDOUT)
        for _ in range(100):
            if subprocess.run(["xdpyinfo", "-display", self.display],
                              capture_output=True).returncode == 0:
                break
            time.sleep(0.1)
        else:
            self.close()
            fail("Xvfb did not start")
        os.environ["DISPLAY"] = self.display
        os.environ.pop("QT_QPA_PLATFORM", None)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()
        self.log.close()


class Screen:
    """Single pixels of the root window, read with Xlib (cheaper than a screenshot)."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.c_void_p
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetPixel.restype = ctypes.c_ulong
        self.x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            fail("cannot open the X display")
        self.root = self.x11.XDefaultRootWindow(self.display)

    def row(self, x, y, width):
        """The raw bytes of a row of pixels (None when they cannot be read)."""
        z_pixmap, all_planes = 2, 0xFFFFFFFF
        image = self.x11.XGetImage(self.display, self.root, x, y, width, 1, all_planes, z_pixmap)
        if not image:
            return None
        # XImage: width, height, xoffset, format (ints), then the data pointer.
        data = ctypes.cast(image + 16, ctypes.POINTER(ctypes.c_void_p))[0]
        raw = ctypes.string_at(data, 4 * width)
        self.x11.XDestroyImage(image)
        return raw

    def press(self, button):
        """Presses and releases a mouse button through XTEST; returns the moments (monotonic
        seconds) just before the press was sent and just after the server confirmed it."""
        before = time.monotonic()
        self.xtst.XTestFakeButtonEvent(self.display, button, True, 0)
        self.x11.XSync(self.display, False)
        after = time.monotonic()
        self.xtst.XTestFakeButtonEvent(self.display, button, False, 0)
        self.x11.XSync(self.display, False)
        return before, after

    def pixel(self, x, y):
        z_pixmap, all_planes = 2, 0xFFFFFFFF
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, all_planes, z_pixmap)
        if not image:
            return None
        value = self.x11.XGetPixel(image, 0, 0) & 0xFFFFFF
        self.x11.XDestroyImage(image)
        return value

    def wait(self, x, y, condition, timeout, what):
        end = time.time() + timeout
        while time.time() < end:
            if condition(self.pixel(x, y)):
                return
            time.sleep(0.02)
        fail("timed out waiting for %s" % what)

    def close(self):
        self.x11.XCloseDisplay(self.display)


def cpu_ticks(pid):
    """utime + stime of the process, in clock ticks."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # fields 14 and 15 of stat(5)


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def surface_origin(binary):
    """Where the drawing surface stands on the screen, from one run that reports it (the
    report's timer is kept out of the measured run)."""
    p = Program(binary, files={"trelvan.vvd": default_vvd()})
    try:
        p.confirm_dialog()
        s = p.geometry()["surface"]
        return s[0], s[1]
    finally:
        p.close()


def picture_onset(screen, strip, timeout=20):
    """Polls a row of the field through the grey pause (one colour) until it shows the next
    picture (texture of two colours); returns the estimated moment the picture reached the X
    server: the middle of the span between the last poll that did not see it being sent and
    the first that did being answered (monotonic seconds), and the length of that span."""
    end = time.monotonic() + timeout
    uniform = False
    sent_before = time.monotonic()
    while time.monotonic() < end:
        sent = time.monotonic()
        row = screen.row(*strip)
        answered = time.monotonic()
        if row is not None:
            if row == row[:4] * strip[2]:
                uniform = True
            elif uniform:
                return (sent_before + answered) / 2, answered - sent_before
        sent_before = sent
    fail("timed out waiting for a new picture")


def start_silent(binary, log_variable, prefix):
    """The program with a training of volume 1000 and no sound, its log of LOG_VARIABLE in a
    new temporary file; with the surface's origin on the screen and the screen to read."""
    vvd = default_vvd().replace(b"    100  (", b"   1000  (").replace(b"      T  (", b"      F  (")
    origin = surface_origin(binary)
    screen = Screen()
    log = tempfile.mktemp(prefix=prefix, suffix=".txt")
    p = Program(binary, files={"trelvan.vvd": vvd},
                env={"TRELVAN_GEOMETRY_FILE": "", log_variable: log})
    return p, origin, screen, log


def measure_answers(binary, answers):
    """Answers pictures with presses sent at known times after each picture reached the X
    server, and compares the program's answer times (TRELVAN_ANSWER_LOG) with them."""
    p, origin, screen, answer_log = start_silent(binary, "TRELVAN_ANSWER_LOG", "trelvan-answers-")
    expected = []
    uncertainty = []
    try:
        p.confirm_dialog()
        status = (origin[0] + STATUS[0], origin[1] + STATUS[1])
        strip = (origin[0], origin[1] + 300, 980)
        corner = (origin[0] + 1, origin[1])
        screen.wait(*corner, lambda v: v == GREY, 20, "the start screen's grey pause")
        screen.wait(*corner, lambda v: v == WHITE, 5, "the first start-screen picture")
        xdotool("mousemove", origin[0] + 490, origin[1] + 400)
        time.sleep(0.2)
        xdotool("click", 1)
        sides = Ran11()
        sides()  # the start screen's picture took the first value
        delays = [0.15 + 0.01 * (i % 11) for i in range(answers)]
        for i in range(answers):
            onset, spread = picture_onset(screen, strip)
            screen.wait(*status, lambda v: v == GREEN, 20, "answer wait %d" % (i + 1))
            while time.monotonic() < onset + delays[i]:
                time.sleep(0.0005)
            before, after = screen.press(3 if sides() > 0.5 else 1)
            expected.append((before + after) / 2 - onset)
            uncertainty.append((spread + after - before) / 2)
            screen.wait(*status, lambda v: v != GREEN, 10, "answer %d to be taken" % (i + 1))
        time.sleep(0.3)
        with open(answer_log) as f:
            measured = [float(line) for line in f if line.strip()]
    finally:
        p.close()
        screen.close()
        if os.path.exists(answer_log):
            os.remove(answer_log)
    if len(measured) != answers:
        fail("%d answer times logged for %d answers" % (len(measured), answers))
    bias = [1000.0 * (m - e) for m, e in zip(measured, expected)]
    return {
        "answers": answers,
        "bias_median_ms": statistics.median(bias),
        "bias_sd_ms": statistics.stdev(bias) if len(bias) > 1 else 0.0,
        "bias_min_ms": min(bias),
        "bias_max_ms": max(bias),
        "onset_uncertainty_ms": 1000.0 * statistics.median(uncertainty),
    }


def measure(binary, clicks, idle_seconds):
    p, origin, screen, wake_log = start_silent(binary, "TRELVAN_WAKE_LOG", "trelvan-wake-")
    try:
        p.confirm_dialog()
        status = (origin[0] + STATUS[0], origin[1] + STATUS[1])
        middle = (origin[0] + 490, origin[1] + 400)
        # The first start-screen picture (size 2) shows grey for a second, then is complete
        # when pixel (1, 0) turns white; a click in its five seconds starts a training at
        # size 2.
        corner = (origin[0] + 1, origin[1])
        screen.wait(*corner, lambda v: v == GREY, 20, "the start screen's grey pause")
        screen.wait(*corner, lambda v: v == WHITE, 5, "the first start-screen picture")
        xdotool("mousemove", *middle)
        time.sleep(0.2)
        xdotool("click", 1)
        sides = Ran11()
        sides()  # the start screen's picture took the first value

        screen.wait(*status, lambda v: v == GREEN, 20, "the first answer wait")
        time.sleep(1.0)
        before = cpu_ticks(p.proc.pid)
        start = time.monotonic()
        time.sleep(idle_seconds)
        used = cpu_ticks(p.proc.pid) - before
        elapsed = time.monotonic() - start
        if screen.pixel(*status) != GREEN:
            fail("the training left its answer wait during the idle period")
        tick = os.sysconf("SC_CLK_TCK")
        cpu_percent = 100.0 * used / tick / elapsed

        for i in range(clicks):
            if i > 0:
                screen.wait(*status, lambda v: v != GREEN, 10, "answer %d to be taken" % i)
                screen.wait(*status, lambda v: v == GREEN, 20, "answer wait %d" % (i + 1))
                time.sleep(0.05)
            xdotool("click", 3 if sides() > 0.5 else 1)  # xdotool: 1 left, 3 right
        time.sleep(0.5)
        with open(wake_log) as f:
            wakes = [int(line) / 1e6 for line in f if line.strip()]  # milliseconds
    finally:
        p.close()
        screen.close()
        if os.path.exists(wake_log):
            os.remove(wake_log)
    if len(wakes) < clicks:
        fail("only %d wakes recorded for %d clicks" % (len(wakes), clicks))
    return {
        "idle_seconds": elapsed,
        "cpu_percent": cpu_percent,
        "cpu_ticks": used,
        "tick_seconds": 1.0 / tick,
        "wakes": len(wakes),
        "wake_median_ms": statistics.median(wakes),
        "wake_p95_ms": percentile(wakes, 0.95),
        "wake_max_ms": max(wakes),
    }


def run(binary, clicks=60, idle_seconds=10.0, answers=40):
    x = Xvfb()
    try:
        result = measure(binary, clicks, idle_seconds)
        if answers > 0:
            result.update(measure_answers(binary, answers))
        return result
    finally:
        x.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("binary")
    parser.add_argument("--clicks", type=int, default=60)
    parser.add_argument("--idle", type=float, default=10.0)
    parser.add_argument("--answers", type=int, default=40)
    args = parser.parse_args()
    r = run(os.path.realpath(args.binary), args.clicks, args.idle, args.answers)
    print("CPU while waiting for an answer: %.2f %% of a core (%d ticks of %.0f ms in %.1f s)"
          % (r["cpu_percent"], r["cpu_ticks"], 1000 * r["tick_seconds"], r["idle_seconds"]))
    print("click to program thread awake: median %.3f ms, 95th percentile %.3f ms, max %.3f ms"
          " (%d clicks)" % (r["wake_median_ms"], r["wake_p95_ms"], r["wake_max_ms"], r["wakes"]))
    if "bias_median_ms" in r:
        print("answer time minus the time from the picture on the X server to the press: median "
              "%.3f ms, sd %.3f ms, min %.3f, max %.3f (%d answers; onset known to +-%.3f ms)"
              % (r["bias_median_ms"], r["bias_sd_ms"], r["bias_min_ms"], r["bias_max_ms"],
                 r["answers"], r["onset_uncertainty_ms"]))


if __name__ == "__main__":
    main()
