# SPDX-License-Identifier: GPL-3.0-or-later
"""A Wayland desktop for the end-to-end tests: weston with its X11 backend inside the tests' X
server, software rendering, the debug protocol for screenshots and the scene graph. Input
comes from xdotool through weston's X window."""

import os
import re
import shutil
import struct
import subprocess
import tempfile
import time

from e2e import CONVERT, Image, fail, xdotool


class Weston:
    def __init__(self, scale, width, height):
        """An output of width by height logical pixels at the integer scale."""
        self.scale = scale
        self.runtime = tempfile.mkdtemp(prefix="trelvan-weston-")
        os.chmod(self.runtime, 0o700)
        self.socket = "trelvan-%d" % os.getpid()
        self.log = open(os.path.join(self.runtime, "weston.log"), "wb")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        env.pop("WAYLAND_DISPLAY", None)
        self.proc = subprocess.Popen(
            ["weston", "--backend=x11-backend.so", "--use-pixman", "--width=%d" % width,
             "--height=%d" % height, "--scale=%d" % scale, "--debug", "--idle-time=0",
             "--socket=" + self.socket], env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.device = (width * scale, height * scale)
        end = time.time() + 20
        self.origin = None
        while time.time() < end and self.origin is None:
            if self.proc.poll() is not None:
                fail("weston ended: %s" % self.read_log())
            if os.path.exists(os.path.join(self.runtime, self.socket)):
                self.origin = self._window_origin()
            time.sleep(0.05)
        if self.origin is None:
            fail("weston did not start: %s" % self.read_log())
        # The desktop is ready once its panel has a view.
        self.wait(lambda: any("panel" in v[0] for v in self.views()), "weston's panel")

    def read_log(self):
        self.log.flush()
        with open(os.path.join(self.runtime, "weston.log"), "rb") as f:
            return f.read().decode(errors="replace")[-2000:]

    def _window_origin(self):
        out = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            m = re.search(r'"Weston Compositor[^"]*".*?\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', line)
            if m and (int(m.group(1)), int(m.group(2))) == self.device:
                return int(m.group(3)), int(m.group(4))
        return None

    def env(self):
        """What a program started in this session finds."""
        return {"WAYLAND_DISPLAY": self.socket, "XDG_RUNTIME_DIR": self.runtime,
                "XDG_SESSION_TYPE": "wayland"}

    def _run(self, *args):
        env = dict(os.environ, **self.env())
        return subprocess.run(list(args), capture_output=True, env=env, timeout=20,
                              cwd=self.runtime)

    def views(self):
        """(name, x1, y1, x2, y2) of every view, in logical pixels of the output."""
        out = self._run("weston-debug", "scene-graph").stdout.decode(errors="replace")
        views, name = [], None
        for line in out.splitlines():
            m = re.search(r"View \d+ \(role ([^,]*), .*?, (.*), 0x[0-9a-f]+\):$", line)
            if m:
                name = m.group(2)
                continue
            m = re.search(r"position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)", line)
            if m and name is not None:
                views.append((name, *(int(v) for v in m.groups())))
                name = None
        return views

    def window(self, title, timeout=20):
        """The view of the top-level window whose title contains title."""
        found = []

        def look():
            found[:] = [v for v in self.views() if "top-level window" in v[0] and title in v[0]]
            return found
        self.wait(look, "window %r" % title, timeout)
        return found[0]

    def wait(self, condition, what, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            if condition():
                return
            time.sleep(0.05)
        fail("weston: no %s" % what)

    def screenshot(self):
        """The whole output in device pixels: (Image of RGB, alpha bytes)."""
        for name in os.listdir(self.runtime):
            if name.endswith(".png"):
                os.remove(os.path.join(self.runtime, name))
        r = self._run("weston-screenshooter")
        shots = [n for n in os.listdir(self.runtime) if n.endswith(".png")]
        if r.returncode != 0 or not shots:
            fail("weston-screenshooter: %s" % r.stderr.decode(errors="replace"))
        path = os.path.join(self.runtime, shots[0])
        with open(path, "rb") as f:
            w, h = struct.unpack(">II", f.read(24)[16:24])
        rgba = subprocess.run([CONVERT, path, "-depth", "8", "rgba:-"], capture_output=True,
                              check=True).stdout
        os.remove(path)
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = rgba[0::4], rgba[1::4], rgba[2::4]
        return Image(w, h, bytes(rgb)), rgba[3::4]

    def x_point(self, x, y):
        """The X screen position of a device pixel of the output."""
        return self.origin[0] + x, self.origin[1] + y

    def point(self, x, y):
        """Puts weston's pointer exactly on a device pixel. Weston follows the X pointer by
        its motions and clamps them at the edges, so the pointer leaves the window first:
        entering it again sets the position."""
        xdotool("mousemove", self.origin[0] + self.device[0] + 5,
                self.origin[1] + self.device[1] + 5)
        time.sleep(0.05)
        xdotool("mousemove", *self.x_point(x, y))
        time.sleep(0.1)

    def keep_inside(self, title, top=32):
        """Weston places a window by its first size and keeps it there as it grows: a frame
        that grew past the output's edge is dragged by its title bar to the top-left corner
        (below the panel)."""
        name, x1, y1, x2, y2 = self.window(title)
        width, height = self.device[0] // self.scale, self.device[1] // self.scale
        if x1 >= 0 and y1 >= top and x2 <= width and y2 <= height:
            return
        s = self.scale
        self.point(s * (x1 + 60), s * (y1 + 12))
        xdotool("mousedown", 1)
        time.sleep(0.05)
        xdotool("mousemove_relative", "--", s * (0 - x1), s * (top - y1))
        time.sleep(0.05)
        xdotool("mouseup", 1)

        def inside():
            v = self.window(title)
            return v[1] >= 0 and v[2] >= top and v[3] <= width and v[4] <= height
        self.wait(inside, "window %r inside the output" % title, 10)

    def pointer_click(self, button):
        xdotool("mousedown", button)
        time.sleep(0.05)
        xdotool("mouseup", button)

    def key(self, key):
        """A key to the window that has weston's keyboard focus."""
        xdotool("key", key)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)


def find_picture(shot, picture):
    """Top-left device pixel where the first row of picture stands in shot, or None."""
    first = picture.rgb[:3 * picture.width]
    for y in range(shot.height - picture.height + 1):
        row = shot.rgb[3 * y * shot.width:3 * (y + 1) * shot.width]
        i = row.find(first)
        while i >= 0 and i % 3 != 0:
            i = row.find(first, i + 1)
        if i >= 0:
            return i // 3, y
    return None
