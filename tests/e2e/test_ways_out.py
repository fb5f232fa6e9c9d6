# SPDX-License-Identifier: GPL-3.0-or-later
"""Ways out of the activities with real X events: "Выход" during a training ends the program;
both buttons on the training summary only return to the start screen; both buttons on the
vision check's result screen end the program once both are released."""

import time

from e2e import Program, Ran11, centre, check, default_vvd, run, wait_change, wait_figure, wait_pixel


def both_buttons(p, x=300, y=600):
    s = p.geometry()["surface"]
    p.move(s[0] + x, s[1] + y)
    p.down(1)
    time.sleep(0.05)
    p.down(3)
    time.sleep(0.1)
    p.up(1)
    time.sleep(0.1)
    p.up(3)


def test(binary):
    # "Выход" during a training's answer wait.
    p = Program(binary)
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(2.0)
        p.click_surface(1)
        wait_pixel(p, (500, 15), (0, 255, 0))
        p.choose_menu(1)
        check(p.wait_exit(5) == 0, "Выход during a training: exit status")
        check(not p.exists("trelvan.rez"), "an abandoned training writes nothing")
    finally:
        p.close()

    # Both buttons on the training summary: back to the start screen, the program goes on.
    vvd = default_vvd().replace(b"    100  (", b"      1  (")
    p = Program(binary, files={"trelvan.vvd": vvd})
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(2.0)
        p.click_surface(1)
        wait_pixel(p, (500, 15), (0, 255, 0))
        p.click_surface(1)  # the first training picture is on the left
        wait_pixel(p, (5, 15), (255, 255, 255))  # the summary clears the status bars
        check(p.exists("trelvan.rez"), "the training was recorded")
        both_buttons(p)
        time.sleep(2.5)
        check(p.running(), "both buttons on the summary must not end the program")
        check(p.surface().pixel(5, 15) != (255, 255, 255), "the start screen returns")
        p.choose_menu(1)
        p.wait_exit(5)
    finally:
        p.close()

    # Both buttons on the vision check's result screen end the program.
    p = Program(binary)
    ran = Ran11()
    ran()
    try:
        p.confirm_dialog()
        p.geometry()
        time.sleep(2.0)
        p.click_surface(3)
        for n in range(3):  # three wrong answers fail 0.1: the result is 0.0
            wait_figure(p, True)
            gap_right = ran() > 0.5
            ran()
            shown = centre(p.surface())
            p.click_surface(1 if gap_right else 3, 100, 600)
            if n < 2:
                wait_change(p, shown)
        end = time.time() + 10
        while time.time() < end and not p.exists("trelvan.rez"):
            time.sleep(0.1)
        check(b"0.00" in p.read("trelvan.rez"), "check result 0.00 in the journal")
        both_buttons(p)
        code = p.wait_exit(5)
        check(code == 0, "both buttons on the result screen: exit status %s" % code)
    finally:
        p.close()


run(test)
