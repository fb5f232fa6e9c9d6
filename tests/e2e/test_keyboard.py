# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole round with the keyboard alone, reading the frame's status bar on the way: a
training of volume 2 answered with the arrow keys (one wrong answer, whose 3 s pause shows a red
status bar), the summary left with Space; a vision check answered with the arrow keys and by
silence, its result left with Return; the progress chart chosen with Alt, Right, Return and left
with Return; Alt and Return on "Выход" only ask; Escape on the start screen ends the program.
With no sound server to reach, the status bar says so until the first exercise."""

import time

from e2e import (Program, Ran11, centre, check, default_vvd, fail, run, wait_change, wait_figure,
                 xdotool)

GREEN = (0, 255, 0)
RED = (255, 0, 0)
NOTE = "Звук включен, но устройство вывода недоступно"


def wait_bar(p, colour, timeout=15):
    end = time.time() + timeout
    while time.time() < end:
        if p.surface().pixel(500, 15) == colour:
            return
        time.sleep(0.05)
    fail("training status bar never turned %s" % (colour,))


def gap_left(img):
    """True when the ring in the middle has its gap on the left: fewer black pixels there."""
    c = centre(img)
    left = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(70))
    right = sum(c[3 * (141 * y + x)] == 0 for y in range(141) for x in range(71, 141))
    check(abs(left - right) > 20, "no gap to see (%d, %d)" % (left, right))
    return left < right


def test(binary):
    vvd = default_vvd().replace(b"    100  (", b"      2  (")
    p = Program(binary, files={"trelvan.vvd": vvd},
                env={"TRELVAN_STATUS_LOG": "status.log",
                     # No sound server, wherever the test runs.
                     "PULSE_SERVER": "unix:/nonexistent/pulse"})
    ran = Ran11()
    ran()  # the first start-screen picture
    try:
        p.confirm_dialog()
        p.geometry()
        frame = p.wait_window("TRELVAN")
        xdotool("windowfocus", "--sync", frame)
        first = p.wait_status("Размер элемента: 2 пикс.")
        check(first.startswith(NOTE), "no word on the missing sound device: %r" % first)
        time.sleep(1.5)  # the first picture (size 2) is on show

        # --- Training: Left on the start screen; pictures answered with the arrows.
        xdotool("key", "Left")
        sides = [ran() > 0.5 for _ in range(4)]  # right: True
        wait_bar(p, GREEN)
        check("Тренировка: картинка 1 из 2" in p.status_lines()[-1], "picture count")
        xdotool("key", "Right" if sides[0] else "Left")
        wait_bar(p, RED, 5)
        wait_bar(p, GREEN)
        p.wait_status("картинка 2 из 2")
        xdotool("key", "Left" if sides[1] else "Right")  # wrong
        time.sleep(0.4)
        check(p.surface().pixel(500, 15) == RED, "status bar not red after the wrong answer")
        check(any("ошибка" in line for line in p.status_lines()), "no word of the wrong answer")
        time.sleep(2.2)
        check(p.surface().pixel(500, 15) == RED, "status bar not red through the pause")
        for n, right in enumerate(sides[2:]):
            wait_bar(p, GREEN)
            p.wait_status("картинка %d из 2" % (n + 1))
            xdotool("key", "Right" if right else "Left")
            if n == 0:
                wait_bar(p, RED, 5)
        p.wait_status("пробел или Enter")
        end = time.time() + 10
        while time.time() < end and not p.exists("trelvan.rez"):
            time.sleep(0.1)
        check(p.exists("trelvan.rez"), "no journal written")
        check("ОЗп=".encode("cp1251") in p.read("trelvan.rez"), "no training line")
        check(NOTE not in p.status_lines()[-1], "the sound note is said once")
        xdotool("key", "space")
        p.wait_status("Размер элемента")

        # --- Vision check: Right on the start screen. At 0.1 two wrong answers, then ten right
        # ones; the higher levels go unanswered. The result is 0.1.
        time.sleep(0.5)
        xdotool("key", "Right")
        p.wait_status("Проверка зрения: уровень 0.1, верно подряд 0 из 10")
        for n in range(12):
            wait_figure(p, True)
            left = gap_left(p.surface())
            wrong = n < 2
            xdotool("key", "Left" if left != wrong else "Right")
            if n < 11:
                wait_change(p, centre(p.surface()))
        p.wait_status("уровень 0.7", timeout=20)
        end = time.time() + 90
        while time.time() < end and b"\xce\xc7\xe8=" not in p.read("trelvan.rez"):
            time.sleep(0.2)
        entry = p.read("trelvan.rez").split(b"\r\n")[2]
        check(entry[29:37] == "ОЗи=0.10".encode("cp1251"), "check line %r" % entry)
        p.wait_status("Для продолжения нажмите")
        check(any("верно подряд 9 из 10" in line for line in p.status_lines()), "run count")
        xdotool("key", "Return")
        p.wait_status("Размер элемента")

        # --- The chart through the menu bar's keyboard navigation, left with Return.
        xdotool("key", "alt")
        time.sleep(0.3)
        xdotool("key", "Right")
        time.sleep(0.3)
        xdotool("key", "Return")
        p.wait_status("Итоги тренировок")
        time.sleep(1.0)
        xdotool("key", "Return")
        p.wait_status("Размер элемента")

        # --- Alt then Return highlights "Выход" and only asks; Return again cancels.
        windows = len(p.windows("TRELVAN"))
        xdotool("key", "alt")
        time.sleep(0.3)
        xdotool("key", "Return")
        end = time.time() + 5
        while time.time() < end and len(p.windows("TRELVAN")) == windows:
            time.sleep(0.1)
        check(p.running(), "Alt and Return ended the program")
        check(len(p.windows("TRELVAN")) > windows, "no question asked")
        xdotool("key", "Return")
        time.sleep(1.0)
        check(p.running(), "the question's default ended the program")

        # --- Escape on the start screen ends the program.
        xdotool("key", "Escape")
        check(p.wait_exit(5) == 0, "exit status")
        lines = p.read("trelvan.rez").split(b"\r\n")
        check(len(lines) == 4, "journal lines %r" % lines)
    finally:
        p.close()


run(test)
