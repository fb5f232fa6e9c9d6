# SPDX-License-Identifier: GPL-3.0-or-later
"""Files in the way of the real program: under a file size limit the parameter file and the
journal cannot be written, and the program says so and goes on (it used to die of SIGXFSZ,
leaving a temporary file); a journal that another program keeps locked holds a finished
training only until the user is asked, and "Повторить" writes it once the lock is gone; the
chart of a locked journal says so."""

import fcntl
import os
import stat
import tempfile
import time

from e2e import Program, check, default_vvd, fail, run, wait_pixel, xdotool

HEADER = "     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)".encode(
    "cp1251") + b"\r\n"


def training(day):
    line = " %02d.03.2013г, 10ч  0м  0с,                ОЗп=0.50      1.50   100   200." % day
    return line.encode("cp1251") + b"\r\n"


JOURNAL = HEADER + training(1) + training(2)  # 226 bytes
ONE_FIGURE = default_vvd().replace(b"    100  (", b"      1  (")


def limited(binary, fsize):
    """A wrapper that starts the program under a file size limit."""
    fd, path = tempfile.mkstemp(prefix="trelvan-limited-")
    with os.fdopen(fd, "w") as f:
        f.write("#!/bin/sh\nexec prlimit --fsize=%d %s \"$@\"\n" % (fsize, binary))
    os.chmod(path, stat.S_IRWXU)
    return path


def wait_box(p, timeout=15):
    """The message box or question: it shares the caption with the frame, and is the small one."""
    end = time.time() + timeout
    while time.time() < end:
        box = [w for w in p.windows("TRELVAN") if "1024x" not in xdotool("getwindowgeometry", w)]
        if box:
            return box[0]
        if not p.running():
            fail("the program ended (%s) instead of saying why" % p.proc.returncode)
        time.sleep(0.1)
    fail("no message box")


def wait_no_box(p, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if not [w for w in p.windows("TRELVAN") if "1024x" not in xdotool("getwindowgeometry", w)]:
            return
        time.sleep(0.1)
    fail("the message box stayed")


def finish_training(p):
    """A training of one figure: the first picture has its digit on the left."""
    p.geometry()
    time.sleep(2.0)
    p.click_surface(1)
    wait_pixel(p, (500, 15), (0, 255, 0))
    p.click_surface(1)


def leftovers(p):
    return [n for n in os.listdir(p.dir) if ".tmp" in n]


def test(binary):
    # A file size limit of 250 bytes: the parameter file (some 280 bytes) and a third entry of
    # the journal (226 bytes so far) do not fit.
    wrapper = limited(binary, 250)
    p = Program(wrapper, files={"trelvan.vvd": ONE_FIGURE, "trelvan.rez": JOURNAL})
    try:
        p.confirm_dialog()
        p.key(wait_box(p), "Return")  # "Не удалось записать файл параметров …"
        wait_no_box(p)
        check(p.read("trelvan.vvd") == ONE_FIGURE, "the parameter file stays as it was")
        check(leftovers(p) == [], "temporary files left: %s" % leftovers(p))
        finish_training(p)
        p.key(wait_box(p), "Return")  # "Результат тренировки не записан …"
        wait_no_box(p)
        check(p.running(), "the program goes on after a failed append")
        check(p.read("trelvan.rez") == JOURNAL, "the journal keeps its length")
        check(leftovers(p) == [], "temporary files left: %s" % leftovers(p))
        p.choose_menu(1)
        code = p.wait_exit(5)
        check(code == 0, "Выход after the failed writes: exit status %s" % code)
    finally:
        p.close()
        os.unlink(wrapper)

    # Another program keeps a shared lock on the journal.
    p = Program(binary, files={"trelvan.vvd": ONE_FIGURE, "trelvan.rez": JOURNAL})
    lock = open(p.path("trelvan.rez"), "rb")
    try:
        fcntl.flock(lock, fcntl.LOCK_SH)
        p.confirm_dialog()
        finish_training(p)
        start = time.time()
        box = wait_box(p)
        waited = time.time() - start
        check(4 <= waited < 12, "asked after %.1f s" % waited)
        check(p.read("trelvan.rez") == JOURNAL, "nothing written while the lock is held")
        fcntl.flock(lock, fcntl.LOCK_UN)
        p.key(box, "Return")  # "Повторить"
        end = time.time() + 10
        while time.time() < end and p.read("trelvan.rez") == JOURNAL:
            time.sleep(0.1)
        written = p.read("trelvan.rez")
        check(written.startswith(JOURNAL) and len(written) == len(JOURNAL) + 75,
              "the training is written once the lock is gone")
        wait_no_box(p)

        # The chart of a journal another program keeps locked exclusively says so.
        p.click_surface(1)  # leaves the summary
        time.sleep(1.0)
        fcntl.flock(lock, fcntl.LOCK_EX)
        p.choose_menu(2)
        time.sleep(7.0)
        bottom = p.surface().crop(200, 615, 500, 35)
        reds = sum(1 for y in range(35) for x in range(500)
                   if bottom.pixel(x, y)[0] == 255 and bottom.pixel(x, y)[1] < 160
                   and bottom.pixel(x, y)[1] == bottom.pixel(x, y)[2])
        check(reds > 100, "the chart's note in red (%d red pixels)" % reds)
        fcntl.flock(lock, fcntl.LOCK_UN)
        p.choose_menu(1)
        p.wait_exit(5)
    finally:
        lock.close()
        p.close()


run(test)
