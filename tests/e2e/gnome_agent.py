# SPDX-License-Identifier: GPL-3.0-or-later
"""Speaks to a GNOME Shell on its session bus for the end-to-end tests, as the user who runs it
(the bus lets no one else in). Reads one command a line on stdin and answers one line of JSON:

    scale S                   the only monitor at scale S (temporarily)
    state                     the monitors and logical monitors as mutter describes them
    move DX DY                relative pointer motion, in the compositor's pointer units
    button N 1|0              presses or releases BTN_LEFT + N
    key KEYSYM                presses and releases the key
    keycode CODE              presses and releases the key of the evdev code
    shot PATH [cursor]        a screenshot of the whole screen into PATH (PNG)
"""

import json
import sys

import dbus

bus = dbus.SessionBus()
shell = "org.gnome.Shell"
mutter = "org.gnome.Mutter"
# The shell takes screenshots only for callers holding one of a few well-known names.
bus.request_name("org.gnome.Screenshot")


def display_config():
    return dbus.Interface(bus.get_object(mutter + ".DisplayConfig",
                                         "/org/gnome/Mutter/DisplayConfig"),
                          mutter + ".DisplayConfig")


session = None


def input_session():
    global session
    if session is None:
        rd = dbus.Interface(bus.get_object(mutter + ".RemoteDesktop",
                                           "/org/gnome/Mutter/RemoteDesktop"),
                            mutter + ".RemoteDesktop")
        path = rd.CreateSession()
        session = dbus.Interface(bus.get_object(mutter + ".RemoteDesktop", path),
                                 mutter + ".RemoteDesktop.Session")
        session.Start()
    return session


def plain(value):
    if isinstance(value, (list, tuple, dbus.Array, dbus.Struct)):
        return [plain(v) for v in value]
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Boolean, bool)):
        return bool(value)
    if isinstance(value, (int, dbus.Int32, dbus.UInt32, dbus.Int64, dbus.UInt64, dbus.Byte)):
        return int(value)
    if isinstance(value, (float, dbus.Double)):
        return float(value)
    return str(value)


def command(words):
    if words[0] == "state":
        return plain(display_config().GetCurrentState())
    if words[0] == "scale":
        serial, monitors, logical, _ = display_config().GetCurrentState()
        connector = monitors[0][0][0]
        mode = next(m[0] for m in monitors[0][1] if m[6].get("is-current", False))
        # The supported scale nearest the one asked for (mutter lists fractions that give
        # whole logical pixels, 1.5 being 1.5037... on 1920x1080, say).
        scales = next(m[5] for m in monitors[0][1] if m[6].get("is-current", False))
        scale = min(scales, key=lambda s: abs(float(s) - float(words[1])))
        config = [(dbus.Int32(0), dbus.Int32(0), dbus.Double(scale), dbus.UInt32(0),
                   True, [(connector, mode, dbus.Dictionary({}, signature="sv"))])]
        display_config().ApplyMonitorsConfig(serial, dbus.UInt32(1), config,
                                             dbus.Dictionary({}, signature="sv"))
        return True
    if words[0] == "move":
        input_session().NotifyPointerMotionRelative(float(words[1]), float(words[2]))
        return True
    if words[0] == "button":
        input_session().NotifyPointerButton(dbus.Int32(0x110 + int(words[1])), words[2] == "1")
        return True
    if words[0] == "key":
        keysym = dbus.UInt32(int(words[1], 0))
        input_session().NotifyKeyboardKeysym(keysym, True)
        input_session().NotifyKeyboardKeysym(keysym, False)
        return True
    if words[0] == "keycode":
        code = dbus.UInt32(int(words[1]))
        input_session().NotifyKeyboardKeycode(code, True)
        input_session().NotifyKeyboardKeycode(code, False)
        return True
    if words[0] == "shot":
        screenshot = dbus.Interface(bus.get_object(shell + ".Screenshot",
                                                   "/org/gnome/Shell/Screenshot"),
                                    shell + ".Screenshot")
        ok, _ = screenshot.Screenshot(len(words) > 2, False, words[1])
        return bool(ok)
    raise ValueError("unknown command %r" % words[0])


for line in sys.stdin:
    try:
        answer = {"ok": command(line.split())}
    except Exception as e:  # the caller reports it
        answer = {"error": str(e)}
    print(json.dumps(answer), flush=True)
