# SPDX-License-Identifier: GPL-3.0-or-later
"""The program on KWin (a virtual output of 1280x1024 logical pixels), which lays its outputs
out in logical pixels (mode / desktop scale) like sway: at 200 % the dialog shows the output's
mode, 2560 x 2048, without a warning; at 150 % (mode 1920 x 1536, painted at 2 and shrunk by
KWin) the warning, and again the mode. KWin reports -1 mm: no physical size."""

import time

from desktops import KWin, program_file, screen_report, wait
from e2e import Program, check, run


def test(binary):
    for scale, mode, shown, warned in (("2", (2560, 2048), 200, 0),
                                       ("1.5", (1920, 1536), 150, 1)):
        desktop = KWin(1280, 1024, scale)
        p = None
        try:
            p = Program(binary, env=dict(desktop.env(), TRELVAN_DIALOG_LOG="dialog.log"))
            screen, warning = screen_report(p)
            check(screen == (*mode, 0, 0, shown, 1 - warned, 1280, 1024),
                  "scale %s: screen %s" % (scale, screen))
            check(warning == warned, "scale %s: warning %s" % (scale, warning))
            if not warned:
                line = "label 1020 Экран по данным системы: %d × %d пикселей\n" % mode
                wait(lambda: line in (program_file(p, "dialog.log") or ""),
                     "screen line %r in the dialog" % line, 20)
            else:
                time.sleep(0.5)
                check(not p.exists("dialog.log"), "scale %s: dialog beside the warning" % scale)
        finally:
            if p is not None:
                p.close()
            desktop.close()


run(test)
