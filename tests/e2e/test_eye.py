# SPDX-License-Identifier: GPL-3.0-or-later
"""The eye on the real program: the start screen takes П, Л, О in the Russian layout, the same
keys in the Latin one, 1, 2, 3, and the status bar's button, and the status bar names the
choice; keys in a training change nothing, and the training's journal line carries the eye in
columns 34-41."""

import time

from e2e import Program, check, default_vvd, fail, run, xdotool


def test(binary):
    vvd = default_vvd().replace(b"    100  (", b"      1  (")
    p = Program(binary, files={"trelvan.vvd": vvd}, env={"TRELVAN_STATUS_LOG": "status.log"})
    try:
        p.confirm_dialog()
        g = p.geometry()
        frame = p.wait_window("TRELVAN")
        xdotool("windowfocus", "--sync", frame)
        p.wait_status("Глаз: оба (П/Л/О)")
        for key, said in (("Cyrillic_el", "Глаз: левый"), ("1", "Глаз: правый"),
                          ("j", "Глаз: оба"), ("Cyrillic_pe", "Глаз: правый"),
                          ("3", "Глаз: оба")):
            xdotool("key", key)
            p.wait_status(said + " (П/Л/О)")
        # The button: both, then right.
        check("eye" in g, "no eye button in the status bar")
        x, y, w, h = g["eye"]
        p.move(x + w // 2, y + h // 2)
        p.click(1)
        p.wait_status("Глаз: правый (П/Л/О)")
        xdotool("windowfocus", "--sync", frame)

        # A training of one picture, answered with Left until it is right.
        xdotool("key", "Left")
        for attempt in range(15):
            last = p.wait_status("картинка 1 из 1", "пробел или Enter", timeout=20)
            if "пробел или Enter" in last:
                break
            check("Глаз: правый" in last, "the training's status line %r" % last)
            if attempt == 0:
                xdotool("key", "2")  # no choice in a training
            time.sleep(0.5)
            seen = len(p.status_lines())
            xdotool("key", "Left")
            end = time.time() + 10
            while time.time() < end and len(p.status_lines()) == seen:
                time.sleep(0.1)
        else:
            fail("the training never ended")
        end = time.time() + 10
        while time.time() < end and not p.exists("trelvan.rez"):
            time.sleep(0.1)
        entry = p.read("trelvan.rez").split(b"\r\n")[1]
        check(entry[33:41] == "гл.прав ".encode("cp1251") and entry[42:46] ==
              "ОЗп=".encode("cp1251"), "training line %r" % entry)
        xdotool("key", "space")
        p.wait_status("Глаз: правый (П/Л/О)")
        xdotool("key", "Escape")
        check(p.wait_exit(5) == 0, "exit status")
    finally:
        p.close()


run(test)
