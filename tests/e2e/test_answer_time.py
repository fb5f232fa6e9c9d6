# SPDX-License-Identifier: GPL-3.0-or-later
"""Answer times as the user lives them: presses sent through XTEST at known times after each
training picture reached the X server, against the times the program took (its answer log).
The clock starts when the picture was handed to the X server and stops at the press's own
time stamp, so the program's time lies within a millisecond of the true one, not behind the
paint of the picture and the wake of the program thread (then about 4.7 ms too long)."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "bench"))

import desktop_bench  # noqa: E402
from e2e import check, run  # noqa: E402


def test(binary):
    r = desktop_bench.measure_answers(os.path.realpath(binary), 16)
    # The onset of each picture is found by polling the screen, which the machine's other
    # work can delay: a margin over the 1 ms of the program's own error.
    check(abs(r["bias_median_ms"]) < 1.5,
          "answer times are off by %.3f ms (median of %d; sd %.3f ms)"
          % (r["bias_median_ms"], r["answers"], r["bias_sd_ms"]))
    check(r["bias_sd_ms"] < 2.0, "answer times spread by %.3f ms (sd)" % r["bias_sd_ms"])


if __name__ == "__main__":
    run(test)
