# SPDX-License-Identifier: GPL-3.0-or-later
"""The ways out: "Выйти из программы" (Escape) leaves trelvan.vvd as it was; "Выход" ends the
program at once, during the start screen; a missing trelvan.sym stops the program after a
message the user can read, with a non-zero status, leaving an empty file behind."""

import time

from e2e import Program, check, run, xdotool

OLD = b"  50.0  (my own file)\r\nline two\r\n"


def test(binary):
    p = Program(binary, files={"trelvan.vvd": OLD})
    try:
        wid = p.wait_window("Ввод параметров")
        p.key(wid, "Escape")
        code = p.wait_exit(5)
        check(code == 0, "Escape: exit status %s" % code)
        check(p.read("trelvan.vvd") == OLD, "Escape changed trelvan.vvd")
    finally:
        p.close()

    p = Program(binary)
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(1.5)
        p.choose_menu(1)
        code = p.wait_exit(5)
        check(code == 0, "Выход: exit status %s" % code)
    finally:
        p.close()

    p = Program(binary, sym=False)
    try:
        p.confirm_dialog()
        # The frame and the message box share the caption; the box is the small one.
        end = time.time() + 10
        box = []
        while time.time() < end and not box:
            box = [w for w in p.windows("TRELVAN") if "1024x" not in xdotool("getwindowgeometry", w)]
            time.sleep(0.1)
        check(box, "no message about the symbol file")
        check(p.running(), "the program must wait for the message to be read")
        p.key(box[0], "Return")
        code = p.wait_exit(5)
        check(code != 0, "exit status %s after a start-up failure" % code)
        check(p.read("trelvan.sym") == b"", "the missing file is created empty")
    finally:
        p.close()


run(test)
