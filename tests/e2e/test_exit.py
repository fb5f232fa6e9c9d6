"""The ways out: "Выйти из программы" (Escape) leaves trelvan.vvd as it was; "Выход" ends the
program at once, during the start screen."""

import time

from e2e import Program, check, run

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


run(test)
