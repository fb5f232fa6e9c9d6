# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the real program under X with real mouse and keyboard events (xdotool) and looks at
the screen (ImageMagick's import). Standard library only."""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
IMPORT = "/usr/bin/import"
CONVERT = "/usr/bin/convert"


def fail(message):
    print("FAIL:", message, file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def xdotool(*args, timeout=20):
    r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                       timeout=timeout)
    return r.stdout.strip()


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, w, h):
        rows = [self.rgb[3 * ((y + r) * self.width + x):3 * ((y + r) * self.width + x + w)]
                for r in range(h)]
        return Image(w, h, b"".join(rows))

    def save_png(self, path):
        ppm = path + ".ppm"
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.rgb)
        subprocess.run([CONVERT, ppm, path], check=True)
        os.remove(ppm)


def longest_black_run(img):
    """Length, column and row of the longest horizontal run of black pixels in the image."""
    best = (0, 0, 0)  # length, x, y
    for y in range(img.height):
        row = img.rgb[3 * y * img.width:3 * (y + 1) * img.width]
        x = 0
        while x < img.width:
            if row[3 * x:3 * x + 3] == b"\x00\x00\x00":
                start = x
                while x < img.width and row[3 * x:3 * x + 3] == b"\x00\x00\x00":
                    x += 1
                if x - start > best[0]:
                    best = (x - start, start, y)
            else:
                x += 1
    return best


def screenshot():
    fd, path = tempfile.mkstemp(suffix=".ppm")
    os.close(fd)
    try:
        subprocess.run([IMPORT, "-window", "root", "-depth", "8", "ppm:" + path], check=True, timeout=30)
        with open(path, "rb") as f:
            data = f.read()
    finally:
        os.remove(path)
    return parse_ppm(data)


def parse_ppm(data):
    """An image from the bytes of a binary PPM (P6) file."""
    # P6 header: magic, width, height, maxval, each separated by white space.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    w, h = int(fields[1]), int(fields[2])
    return Image(w, h, data[pos:pos + 3 * w * h])


class Program:
    """The program started in a fresh working directory holding the supplied trelvan.sym."""

    def __init__(self, binary, files=None, env=None, sym=True):
        self.dir = tempfile.mkdtemp(prefix="trelvan-e2e-")
        if sym:
            shutil.copy(os.path.join(SOURCE, "resources", "trelvan.sym"), self.dir)
        for name, content in (files or {}).items():
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(content)
        self.geometry_file = os.path.join(self.dir, "geometry.txt")
        e = dict(os.environ)
        e["TRELVAN_GEOMETRY_FILE"] = self.geometry_file
        e.update(env or {})
        self.log = open(os.path.join(self.dir, "program.log"), "wb")
        self.proc = subprocess.Popen([binary], cwd=self.dir, env=e, stdout=self.log,
                                     stderr=subprocess.STDOUT)

    def status_lines(self):
        """The lines the frame's status bar has said, when TRELVAN_STATUS_LOG is status.log."""
        try:
            with open(self.path("status.log"), encoding="utf-8") as f:
                return f.read().splitlines()
        except OSError:
            return []

    def wait_status(self, *parts, timeout=15):
        """The status bar's last line once it holds one of the parts."""
        end = time.time() + timeout
        while time.time() < end:
            lines = self.status_lines()
            if lines and any(part in lines[-1] for part in parts):
                return lines[-1]
            time.sleep(0.1)
        fail("status bar never said %r; it said %r" % (parts, self.status_lines()[-3:]))

    def path(self, name):
        return os.path.join(self.dir, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.path(name))

    def wait_window(self, name, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            found = self.windows(name)
            if found:
                return found[-1]
            if self.proc.poll() is not None:
                fail("program ended (%s) while waiting for window %r" % (self.proc.returncode, name))
            time.sleep(0.1)
        fail("no window %r" % name)

    def windows(self, name):
        """Visible windows whose title contains name (compared here: xdotool's own pattern
        matching does not handle Cyrillic reliably)."""
        out = xdotool("search", "--onlyvisible", "--name", ".")
        return [w for w in out.split() if name in xdotool("getwindowname", w)]

    def key(self, window, key):
        xdotool("windowfocus", "--sync", window)
        xdotool("key", key)

    def type(self, window, text):
        xdotool("windowfocus", "--sync", window)
        xdotool("type", text)

    def confirm_dialog(self):
        wid = self.wait_window("Ввод параметров")
        self.key(wid, "Return")
        return wid

    def geometry(self, timeout=20):
        """Menu items, client area and drawing surface, in screen pixels."""
        end = time.time() + timeout
        while time.time() < end:
            try:
                with open(self.geometry_file) as f:
                    g = {}
                    for line in f:
                        p = line.split()
                        key = p[0] if p[0] != "menu" else "menu" + p[1]
                        g[key] = tuple(int(v) for v in p[1 if p[0] != "menu" else 2:])
                if "surface" in g:
                    return g
            except (OSError, ValueError, IndexError):
                pass
            time.sleep(0.1)
        fail("no geometry reported")

    def move(self, x, y):
        # Without --sync: it waits for a motion, which never comes when the pointer is there.
        xdotool("mousemove", x, y)
        time.sleep(0.05)

    def down(self, button):
        xdotool("mousedown", button)

    def up(self, button):
        xdotool("mouseup", button)

    def click(self, button):
        self.down(button)
        time.sleep(0.05)
        self.up(button)

    def click_surface(self, button, x=490, y=400):
        s = self.geometry()["surface"]
        self.move(s[0] + x, s[1] + y)
        self.click(button)

    def choose_menu(self, position):
        m = self.geometry()["menu%d" % position]
        self.move(m[0] + m[2] // 2, m[1] + m[3] // 2)
        self.click(1)

    def surface(self):
        s = self.geometry()["surface"]
        return screenshot().crop(*s)

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            fail("program did not end")

    def running(self):
        return self.proc.poll() is None

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


# --- The pictures as the rules make them ---------------------------------------------------

class Ran11:
    def __init__(self):
        self.state = struct.unpack("<d", struct.pack("<Q", 0x3FF36F9C00000000))[0]

    def __call__(self):
        self.state = math.fmod(16807.0 * self.state, 2147483647.0)
        return struct.unpack("<f", struct.pack("<f", self.state / 2147483648.0))[0]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def load_symbols(path=os.path.join(SOURCE, "resources", "trelvan.sym")):
    with open(path, "rb") as f:
        lines = f.read().decode("cp1251").replace("\r\n", "\n").split("\n")
    figures, i = {}, 0
    for s in range(1, 10):
        n = int(lines[i][16:24].strip() or 0)
        i += 1
        values = []
        nlines = max(1, (n * 2 + 19) // 20) if n > 0 else 1
        for _ in range(nlines):
            line = lines[i].ljust(80)
            i += 1
            values += [int(line[k:k + 4].strip() or 0) for k in range(0, 80, 4)]
        figures[s] = [(values[2 * j], values[2 * j + 1]) for j in range(max(n, 0))]
    return figures


def start_picture(k, right, figures, w=980, h=650):
    """The composed start-screen picture of size k as RGB bytes."""
    px = bytearray(w * h * 3)  # black
    cells = w // k
    for y in range(h):
        row = y * w * 3
        for c in range(1, cells + 1):
            if (c + y) % 2 == 1:
                for x in range((c - 1) * k + 1, min(c * k, w - 1) + 1):
                    px[row + 3 * x:row + 3 * x + 3] = b"\xff\xff\xff"
    xoff = int(f32(f32(450.0 if right else 20.0) / f32(k))) * k
    for (r, q) in figures[k]:
        for t in range(1, 2 * k + 1):
            for u in range(1, 2 * k + 1):
                x, y = q + xoff + t, r + u
                if 0 <= x < w and 0 <= y < h:
                    white = (t <= k and u <= k) or (t > k and u > k)
                    i = 3 * (y * w + x)
                    px[i:i + 3] = b"\xff\xff\xff" if white else b"\x00\x00\x00"
    return Image(w, h, bytes(px))


def differences(a, b, limit=5):
    out = []
    if (a.width, a.height) != (b.width, b.height):
        return ["size %dx%d against %dx%d" % (a.width, a.height, b.width, b.height)]
    for y in range(a.height):
        ra = a.rgb[3 * y * a.width:3 * (y + 1) * a.width]
        rb = b.rgb[3 * y * b.width:3 * (y + 1) * b.width]
        if ra != rb:
            for x in range(a.width):
                if ra[3 * x:3 * x + 3] != rb[3 * x:3 * x + 3]:
                    out.append((x, y, tuple(ra[3 * x:3 * x + 3]), tuple(rb[3 * x:3 * x + 3])))
                    break
            if len(out) >= limit:
                break
    return out


def default_vvd():
    comments = ["  (дальность в сантиметрах)", "  (диагональ дисплея в дюймах)",
                "  (разрешение экрана, пикселей по Y)", "  (разрешение экрана, пикселей по X)",
                "  (объем тренировки)", "  (время на ответ в секундах)",
                "  (признак включения звука)"]
    values = ["200.000", " 17.700", "    768", "   1024", "    100", "600.000", "      T"]
    return b"".join((v + c).encode("cp1251") + b"\r\n" for v, c in zip(values, comments))


# --- The vision check's ring ----------------------------------------------------------------

def figure_shown(img):
    """True while a ring stands in the middle of a white field (black pixels near the
    centre)."""
    corners = [(10, 10), (970, 10), (10, 640), (970, 640), (200, 325), (780, 325)]
    if any(img.pixel(x, y) != (255, 255, 255) for x, y in corners):
        return False
    for y in range(255, 396, 2):
        row = img.rgb[3 * (y * img.width + 420):3 * (y * img.width + 561)]
        if b"\x00\x00\x00" in row:
            return True
    return False


def centre(img):
    return img.crop(420, 255, 141, 141).rgb


def wait_change(p, before, timeout=10):
    """Waits until the middle of the field differs from before (a pause or the next level)."""
    end = time.time() + timeout
    while time.time() < end:
        if centre(p.surface()) != before:
            return
        time.sleep(0.03)
    fail("the figure stayed")


def gap_cut(img):
    """True when the ring in the middle has its gap: its left and right halves differ. A ring
    still being drawn is whole, and a click before the drawing ends is not an answer."""
    c = centre(img)
    left = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(70))
    right = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(71, 141))
    if left + right < 400:
        return True  # too small a ring to tell; its drawing takes no time either
    return abs(left - right) > (left + right) // 60


def wait_figure(p, shown, timeout=10):
    """Waits for a complete figure (shown, with its gap cut, and the same on two screenshots
    in a row) or for the field to be cleared."""
    end = time.time() + timeout
    last = None
    while time.time() < end:
        img = p.surface()
        if figure_shown(img) == shown and (not shown or gap_cut(img)):
            if centre(img) == last:
                if shown:
                    time.sleep(0.1)  # the answer window opens once the drawing has ended
                return
            last = centre(img)
        else:
            last = None
        time.sleep(0.03)
    fail("figure never %s" % ("shown" if shown else "cleared"))



def wait_pixel(p, xy, colour, timeout=15):
    """Waits until the surface pixel xy has the colour."""
    end = time.time() + timeout
    while time.time() < end:
        if p.surface().pixel(*xy) == colour:
            return
        time.sleep(0.05)
    fail("pixel %s never %s" % (xy, colour))


def run(test):
    """Runs test(binary) and reports."""
    binary = sys.argv[1]
    test(binary)
