# SPDX-License-Identifier: GPL-3.0-or-later
"""Wayland desktops the program meets on most Linux machines, for the end-to-end tests: sway
(wlroots) with its headless backend, KWin on a virtual output and GNOME Shell headless, each in
a private runtime directory. Run by root (as `make test` is on CI), the compositors run as the user "nobody":
sway refuses to run as root, and a session bus lets in only the user who owns it. The program
itself runs as the caller and reaches the compositor by the socket's full path."""

import contextlib
import json
import os
import pwd
import shutil
import subprocess
import tempfile
import time

from e2e import CONVERT, Image, fail

HERE = os.path.dirname(os.path.abspath(__file__))


def _user():
    """Popen arguments that run a compositor as an unprivileged user."""
    if os.geteuid() != 0:
        return {}
    nobody = pwd.getpwnam("nobody")
    return {"user": nobody.pw_uid, "group": nobody.pw_gid, "extra_groups": []}


def _runtime(prefix):
    path = tempfile.mkdtemp(prefix=prefix)
    os.chmod(path, 0o700)
    if os.geteuid() == 0:
        nobody = pwd.getpwnam("nobody")
        os.chown(path, nobody.pw_uid, nobody.pw_gid)
    return path


def _png(data):
    """An Image of the RGB of PNG bytes."""
    ppm = subprocess.run([CONVERT, "png:-", "-depth", "8", "ppm:-"], input=data,
                         capture_output=True, check=True).stdout
    fields, pos = [], 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not ppm[pos:pos + 1].isspace():
            pos += 1
        fields.append(ppm[start:pos])
    w, h = int(fields[1]), int(fields[2])
    return Image(w, h, ppm[pos + 1:pos + 1 + 3 * w * h])


def program_file(p, name):
    """The text of a file the program writes in its directory, or None."""
    if not p.exists(name):
        return None
    with open(p.path(name), encoding="utf-8") as f:
        return f.read()


def vvd_resolution(p):
    """Nx, Ny of the program's trelvan.vvd."""
    lines = p.read("trelvan.vvd").decode("cp1251").split("\r\n")
    return int(lines[3][:7]), int(lines[2][:7])


def screen_report(p, timeout=20):
    """The screen as the program sees it ("screen" of its geometry report: resolution,
    millimetres, per cent, 1:1, Qt's logical size) and whether it warned of rescaling."""
    def read():
        text = program_file(p, "geometry.txt") or ""
        lines = {l.split()[0]: tuple(int(v) for v in l.split()[1:])
                 for l in text.splitlines() if l.startswith(("screen ", "warning "))}
        return lines if len(lines) == 2 else None
    lines = wait(read, "screen in the geometry report", timeout)
    return lines["screen"], lines["warning"][0]


def wait(condition, what, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    fail("no %s" % what)


class Desktop:
    socket = None

    def env(self):
        """What a program started in this session finds."""
        return {"WAYLAND_DISPLAY": os.path.join(self.runtime, self.socket),
                "XDG_SESSION_TYPE": "wayland"}

    def log_tail(self):
        try:
            with open(os.path.join(self.runtime, "compositor.log"), "rb") as f:
                return f.read().decode(errors="replace")[-1500:]
        except OSError:
            return ""

    def _started(self, name):
        def ready():
            if self.proc.poll() is not None:
                fail("%s ended: %s" % (name, self.log_tail()))
            return os.path.exists(os.path.join(self.runtime, self.socket))
        wait(ready, "%s socket" % name, 30)

    @contextlib.contextmanager
    def _closed_on_failure(self):
        """A desktop that fails to start is not left running (the test cannot close what it
        never received)."""
        try:
            yield
        except BaseException:
            self.close()
            raise

    def _stop(self, proc):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def _stop_session(self):
        """Ends the compositor's whole process group (its own children too), then removes the
        session's runtime directory."""
        try:
            os.killpg(self.proc.pid, 15)
        except ProcessLookupError:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, 9)
            self.proc.wait()
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)

    def _client(self, *args, **kw):
        """A Wayland client of this desktop, run by the caller."""
        return subprocess.run(list(args), env=dict(os.environ, **self.env()),
                              capture_output=True, timeout=20, **kw)


class Sway(Desktop):
    """sway with one headless output of mode width x height at the desktop scale."""

    output = "HEADLESS-1"

    def __init__(self, width, height, scale):
        self.runtime = _runtime("trelvan-sway-")
        config = os.path.join(self.runtime, "config")
        with open(config, "w") as f:
            f.write("output %s mode %dx%d position 0 0 scale %s\nxwayland disable\n"
                    % (self.output, width, height, scale))
        os.chmod(config, 0o644)
        self.log = open(os.path.join(self.runtime, "compositor.log"), "wb")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.runtime,
               "XDG_RUNTIME_DIR": self.runtime,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": "1"}
        self.proc = subprocess.Popen(["sway", "-c", config], env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT, cwd=self.runtime, **_user())
        # sway names its socket itself (wayland-N).
        def socket():
            if self.proc.poll() is not None:
                fail("sway ended: %s" % self.log_tail())
            names = [n for n in os.listdir(self.runtime)
                     if n.startswith("wayland-") and not n.endswith(".lock")]
            return names[0] if names else None
        with self._closed_on_failure():
            self.socket = wait(socket, "sway socket", 30)

    def screenshot(self):
        """The whole output in device pixels."""
        r = self._client("grim", "-o", self.output, "-t", "png", "-")
        if r.returncode != 0:
            fail("grim: %s" % r.stderr.decode(errors="replace"))
        return _png(r.stdout)

    def key(self, key):
        """A key to the focused window. The virtual keyboard is bound by the client a moment
        after it appears: without the delay the key is lost."""
        self._client("wtype", "-s", "400", "-k", key)

    def close(self):
        self._stop(self.proc)
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)


class KWin(Desktop):
    """KWin with one virtual output of width x height logical pixels at the desktop scale (its
    mode is that times the scale). The packaged binary carries a file capability, which some
    systems refuse to exec (containers): a copy without it runs, under the same name, which
    KWin's platform plugin insists on."""

    def __init__(self, width, height, scale):
        self.runtime = _runtime("trelvan-kwin-")
        self.socket = "wayland-trelvan"
        binary = os.path.join(self.runtime, "bin", "kwin_wayland")
        os.makedirs(os.path.dirname(binary))
        shutil.copy("/usr/bin/kwin_wayland", binary)
        home = os.path.join(self.runtime, "home")
        os.makedirs(home)
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            for d, dirs, files in os.walk(self.runtime):
                for p in [d] + [os.path.join(d, n) for n in files]:
                    os.chown(p, nobody.pw_uid, nobody.pw_gid)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
               "XDG_RUNTIME_DIR": self.runtime, "KWIN_WAYLAND_NO_PERMISSION_CHECKS": "1"}
        self.log = open(os.path.join(self.runtime, "compositor.log"), "wb")
        self.proc = subprocess.Popen(
            ["dbus-run-session", "--", binary, "--virtual", "--width", str(width), "--height",
             str(height), "--scale", str(scale), "--socket", self.socket, "--no-lockscreen",
             "--no-global-shortcuts"], env=env, stdout=self.log, stderr=subprocess.STDOUT,
            cwd=self.runtime, start_new_session=True, **_user())
        with self._closed_on_failure():
            self._started("kwin_wayland")

    def close(self):
        self._stop_session()


class GnomeShell(Desktop):
    """GNOME Shell, headless, on one virtual monitor of width x height at an integer scale, in
    its default layout (without scale-monitor-framebuffer). Without logind, whose absence it
    takes for a fatal error unless /run/systemd is empty, it runs in a private mount namespace
    over an empty /run/systemd. Its session bus, a second bus in place of the system bus, and a
    helper speaking to both as the same user (gnome_agent.py) live in the runtime directory."""

    def __init__(self, width, height, scale=1, framebuffer_scaling=False):
        """framebuffer_scaling: mutter's experimental layout in logical pixels, which allows
        fractional scales."""
        self.runtime = _runtime("trelvan-gnome-")
        self.socket = "wayland-trelvan"
        self.scale = scale
        home = os.path.join(self.runtime, "home")
        settings = os.path.join(home, ".config", "glib-2.0", "settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            f.write("[org/gnome/desktop/interface]\nenable-hot-corners=false\n")
            if framebuffer_scaling:
                f.write("[org/gnome/mutter]\n"
                        "experimental-features=['scale-monitor-framebuffer']\n")
        self.shots = os.path.join(self.runtime, "shots")
        os.makedirs(self.shots)
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            for d, _, files in os.walk(self.runtime):
                for p in [d] + [os.path.join(d, n) for n in files]:
                    os.chown(p, nobody.pw_uid, nobody.pw_gid)
        self.bus = "unix:path=" + os.path.join(self.runtime, "bus")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
               "XDG_RUNTIME_DIR": self.runtime, "XDG_CONFIG_HOME": os.path.join(home, ".config"),
               "GSETTINGS_BACKEND": "keyfile", "NO_AT_BRIDGE": "1",
               "DBUS_SESSION_BUS_ADDRESS": self.bus,
               "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(self.runtime, "system")}
        self.log = open(os.path.join(self.runtime, "compositor.log"), "wb")
        user = _user()
        drop = ""
        if user:
            drop = "exec setpriv --reuid=%d --regid=%d --clear-groups " % (user["user"],
                                                                         user["group"])
        # A private mount namespace needs root (and a system that grants it).
        private = bool(user) and subprocess.run(["unshare", "-m", "true"]).returncode == 0
        # The buses first, then the shell; everything ends with the shell's process group.
        hide = "mount -t tmpfs tmpfs /run/systemd 2>/dev/null; " if private else ""
        script = (
            hide + drop + "sh -c '"
            "dbus-daemon --session --address=$DBUS_SYSTEM_BUS_ADDRESS --nofork --nopidfile & "
            "dbus-daemon --session --address=$DBUS_SESSION_BUS_ADDRESS --nofork --nopidfile & "
            "while [ ! -S $XDG_RUNTIME_DIR/bus ] || [ ! -S $XDG_RUNTIME_DIR/system ]; do "
            "sleep 0.05; done; "
            "exec gnome-shell --headless --wayland --no-x11 --virtual-monitor %dx%d "
            "--wayland-display %s'" % (width, height, self.socket))
        prefix = ["unshare", "-m", "--propagation", "private"] if private else []
        self.proc = subprocess.Popen(prefix + ["sh", "-c", script], env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT, cwd=self.runtime,
                                     start_new_session=True)
        self.agent = None
        with self._closed_on_failure():
            self._start_session(env, user, scale)

    def _start_session(self, env, user, scale):
        """Waits for the shell, then starts the helper and readies the desktop."""
        self._started("gnome-shell")
        self.agent = subprocess.Popen(["python3", os.path.join(HERE, "gnome_agent.py")],
                                      env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL, text=True, cwd=self.runtime,
                                      **user)
        # The shell is ready once it takes screenshots; it starts in the overview.
        wait(lambda: self.ask("shot", os.path.join(self.shots, "ready.png"), fail_on_error=False),
             "screenshot from gnome-shell", 30)
        if scale != 1:
            self.ask("scale", scale)
        self.ask("move", 0, 0)  # the input devices are made now, before they are needed
        time.sleep(0.5)
        self.ask("key", "0xff1b")  # out of the overview
        time.sleep(0.5)

    def ask(self, *words, fail_on_error=True):
        self.agent.stdin.write(" ".join(map(str, words)) + "\n")
        self.agent.stdin.flush()
        line = self.agent.stdout.readline()
        answer = json.loads(line) if line else {"error": "the helper ended"}
        if "error" in answer:
            if fail_on_error:
                fail("gnome-shell %s: %s" % (words[0], answer["error"]))
            return None
        return answer["ok"]

    def screenshot(self):
        path = os.path.join(self.shots, "shot.png")
        if os.path.exists(path):
            os.remove(path)
        self.ask("shot", path)
        with open(path, "rb") as f:
            return _png(f.read())

    def point(self, x, y):
        """The pointer at a position in device pixels (fractions too), coming from the top-left
        corner. Relative motion is counted in logical pixels."""
        self.ask("move", -100000, -100000)
        self.ask("move", x / self.scale, y / self.scale)
        time.sleep(0.1)

    def click(self, button=0):
        """BTN_LEFT + button."""
        self.ask("button", button, 1)
        time.sleep(0.05)
        self.ask("button", button, 0)

    def key(self, keysym):
        self.ask("key", keysym)

    def close(self):
        if self.agent is not None and self.agent.poll() is None:
            self.agent.stdin.close()
            try:
                self.agent.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.agent.kill()
        self._stop_session()
