# SPDX-License-Identifier: GPL-3.0-or-later
"""`make bench`: the benchmarks of the build, the measurements of the running program under
Xvfb, and a summary against the goals, with the machine they ran on.

    python3 bench/run_bench.py BUILD_DIR [--clicks N] [--idle SECONDS] [--quick]
"""

import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop_bench  # noqa: E402


def cpu_model():
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown"


def busy_jiffies():
    """Busy and total jiffies of all cores together, from /proc/stat."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]  # idle, iowait
    return sum(values) - idle, sum(values)


def process_times():
    """pid -> (name, CPU seconds so far) of every process that can be read."""
    tick = os.sysconf("SC_CLK_TCK")
    times = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        times[int(entry)] = (name, (int(fields[11]) + int(fields[12])) / tick)
    return times


def busiest_others(before, after, seconds, count=3):
    """Names of the processes other than this one that used the most CPU over the run, those
    started meanwhile included (those that also ended meanwhile cannot be seen)."""
    own = os.getpid()
    used = {}
    for pid, (name, t) in after.items():
        if pid == own:
            continue
        if pid in before:
            t -= before[pid][1]
        used[name] = used.get(name, 0.0) + t
    top = sorted(((t, name) for name, t in used.items() if t > 0), reverse=True)[:count]
    return ", ".join("%s %.0f %%" % (name, 100.0 * t / seconds) for t, name in top)


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def run_benchmark(binary, out, extra):
    print("\n$ %s %s" % (os.path.relpath(binary), " ".join(extra)), flush=True)
    subprocess.run([binary, "--benchmark_out=" + out, "--benchmark_out_format=json", *extra],
                   check=True)
    with open(out) as f:
        return json.load(f)["benchmarks"]


def medians(benchmarks):
    """name -> row: the median aggregate when there are repetitions, the run otherwise."""
    rows = {}
    for b in benchmarks:
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                rows[b["run_name"]] = b
        else:
            rows.setdefault(b["run_name"], b)
    return rows


def microseconds(row, key):
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[row["time_unit"]]
    return row[key] * scale


def wall_seconds(command, cpu=None, **kwargs):
    """Wall-clock seconds of a command; its CPU seconds (user and system, of every process it
    waited for) are appended to cpu when given."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(command, check=True, **kwargs)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if cpu is not None:
        cpu.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
    return wall


def journal_reading(build, repetitions):
    """trelvan-report csv and chart of a 1,000,000-entry journal against `cat J | wc -l` on the
    same file, in turns within one run, and the chart of an 18,000-entry journal (ten years at
    five a day): medians over the repetitions, of wall-clock and of CPU time."""
    report = os.path.join(build, "trelvan-report")
    make = os.path.join(build, "bench", "bench_make_journal")
    work = tempfile.mkdtemp(prefix="trelvan-bench-report-")
    big = os.path.join(work, "million.rez")
    small = os.path.join(work, "ten-years.rez")
    png = os.path.join(work, "chart.png")
    try:
        subprocess.run([make, big, "1000000"], check=True)
        subprocess.run([make, small, "18000", "5"], check=True)
        with open(os.devnull, "wb") as null:
            # The file's pages are in memory for every command alike.
            subprocess.run(["cat", big], stdout=null, check=True)
            times = {"cat": [], "csv": [], "chart": [], "chart18k": []}
            cpu = {name: [] for name in times}

            def cat():
                times["cat"].append(wall_seconds("cat '%s' | wc -l" % big, cpu["cat"],
                                                 shell=True, stdout=null))

            for _ in range(repetitions):
                # The yardstick runs right before each command it is compared with.
                cat()
                times["csv"].append(wall_seconds([report, "csv", big], cpu["csv"], stdout=null))
                cat()
                times["chart"].append(wall_seconds([report, "chart", big, "-o", png],
                                                   cpu["chart"]))
                times["chart18k"].append(wall_seconds([report, "chart", small, "-o", png],
                                                      cpu["chart18k"]))
        size = os.path.getsize(big)
    finally:
        for name in os.listdir(work):
            os.remove(os.path.join(work, name))
        os.rmdir(work)
    result = {name: statistics.median(values) for name, values in times.items()}
    result.update({name + "_cpu": statistics.median(values) for name, values in cpu.items()})
    # Each ratio is the median of the ratios of one turn (the command against the yardstick
    # run just before it), so a burst of other work on the machine weighs on both sides of a
    # ratio alike. The CPU-time ratio is the verdict: it counts the work each side does, which
    # other processes on a shared machine hardly change, while the wall-clock time also counts
    # the waits for a free core.
    for index, name in enumerate(("csv", "chart")):
        yardstick = times["cat"][index::2]
        yardstick_cpu = cpu["cat"][index::2]
        result[name + "_ratio"] = statistics.median(
            t / c for t, c in zip(times[name], yardstick))
        result[name + "_cpu_ratio"] = statistics.median(
            t / c for t, c in zip(cpu[name], yardstick_cpu))
    result["journal_MB"] = size / 1048576.0
    result["repetitions"] = repetitions
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build")
    parser.add_argument("--clicks", type=int, default=60)
    parser.add_argument("--idle", type=float, default=10.0)
    parser.add_argument("--answers", type=int, default=40)
    parser.add_argument("--quick", action="store_true", help="one repetition of each benchmark")
    args = parser.parse_args()
    build = os.path.realpath(args.build)

    busy0, total0 = busy_jiffies()
    load0 = load_average()
    others0 = process_times()
    start = time.monotonic()
    print("machine: %d cores (nproc), %s; load average %s at the start"
          % (os.cpu_count(), cpu_model(), load0))

    repetitions = [] if args.quick else ["--benchmark_repetitions=5",
                                         "--benchmark_report_aggregates_only=true"]
    picture = medians(run_benchmark(os.path.join(build, "bench", "bench_picture"),
                                    os.path.join(build, "bench", "picture.json"), repetitions))
    chart = medians(run_benchmark(os.path.join(build, "bench", "bench_chart"),
                                  os.path.join(build, "bench", "chart.json"), []))

    print("\n$ trelvan-report csv and chart of 1,000,000 and of 18,000 entries against "
          "cat | wc -l, in turns", flush=True)
    reading = journal_reading(build, 3 if args.quick else 11)

    print("\n$ python3 bench/desktop_bench.py %s (private Xvfb, xdotool)"
          % os.path.relpath(os.path.join(build, "trelvan")), flush=True)
    desktop = desktop_bench.run(os.path.join(build, "trelvan"), args.clicks, args.idle,
                                args.answers)
    busy1, total1 = busy_jiffies()
    others = busiest_others(others0, process_times(), time.monotonic() - start)

    memset = picture["BM_Memset2_5MB"]
    lines = []

    def compose(kind):
        rows = [r for name, r in picture.items() if name.startswith(kind + "/")]
        slowest = max(rows, key=lambda r: r["cpu_time"])
        cpu = microseconds(slowest, "cpu_time")
        real = microseconds(slowest, "real_time")
        size = slowest["run_name"].split("/")[1]
        return cpu, real, size

    m_cpu = microseconds(memset, "cpu_time")
    m_real = microseconds(memset, "real_time")
    s_cpu, s_real, s_size = compose("BM_StartScreenPicture")
    t_cpu, t_real, t_size = compose("BM_TrainingPicture")
    ratio = s_cpu / m_cpu
    lines.append("memset of 2.5 MB: %.1f us CPU (%.1f us real)" % (m_cpu, m_real))
    lines.append("start-screen picture, slowest size %s: %.1f us CPU (%.1f us real) = %.2f x "
                 "the memset (real %.2f x); goal at most 4 x: %s"
                 % (s_size, s_cpu, s_real, ratio, s_real / m_real,
                    "met" if ratio <= 4.0 else "MISSED"))
    lines.append("training picture, slowest size %s: %.1f us CPU (%.1f us real) = %.2f x the "
                 "memset" % (t_size, t_cpu, t_real, t_cpu / m_cpu))
    step = [r for name, r in picture.items() if name.startswith("BM_StartScreenStep/")]
    if step:
        lines.append("whole start-screen step on the headless services (waits free), slowest: "
                     "%.0f us CPU" % max(microseconds(r, "cpu_time") for r in step))
    for name, how in (("BM_ChartOfAMillionEntries", "shape by shape, as the program draws"),
                      ("BM_ChartOfAMillionEntriesDeferred", "deferred, as trelvan-report draws")):
        c = chart.get(name + "/iterations:3") or chart.get(name)
        if c is None:
            continue
        lines.append("chart of a 1,000,000-entry journal (%.0f MB), %s: %.2f s CPU (%.2f s real) "
                     "per chart, peak resident memory %.1f MB"
                     % (c["journal_MB"], how, microseconds(c, "cpu_time") / 1e6,
                        microseconds(c, "real_time") / 1e6, c["peak_rss_MB"]))
    r = reading
    lines.append("journal of 1,000,000 entries (%.0f MB), medians of %d turns, CPU time (user "
                 "and system, all processes of the command): cat | wc -l %.3f s; trelvan-report "
                 "csv %.3f s = %.1f x, chart %.3f s = %.1f x; goal at most 5 x: csv %s, chart %s"
                 % (r["journal_MB"], r["repetitions"], r["cat_cpu"], r["csv_cpu"],
                    r["csv_cpu_ratio"], r["chart_cpu"], r["chart_cpu_ratio"],
                    "met" if r["csv_cpu_ratio"] <= 5 else "MISSED",
                    "met" if r["chart_cpu_ratio"] <= 5 else "MISSED"))
    lines.append("the same in wall-clock time: cat | wc -l %.3f s, csv %.3f s = %.1f x, chart "
                 "%.3f s = %.1f x"
                 % (r["cat"], r["csv"], r["csv_ratio"], r["chart"], r["chart_ratio"]))
    lines.append("chart of an 18,000-entry journal (ten years at five a day): %.3f s wall; goal "
                 "under 0.1 s: %s" % (r["chart18k"], "met" if r["chart18k"] < 0.1 else "MISSED"))
    lines.append("CPU of the program waiting for an answer: %.2f %% of a core over %.1f s "
                 "(%d ticks of %.0f ms); goal below 1 %%: %s"
                 % (desktop["cpu_percent"], desktop["idle_seconds"], desktop["cpu_ticks"],
                    1000 * desktop["tick_seconds"],
                    "met" if desktop["cpu_percent"] < 1.0 else "MISSED"))
    lines.append("mouse event to program thread awake, %d clicks: median %.3f ms, 95th "
                 "percentile %.3f ms, max %.3f ms; goal median below 1 ms: %s"
                 % (desktop["wakes"], desktop["wake_median_ms"], desktop["wake_p95_ms"],
                    desktop["wake_max_ms"], "met" if desktop["wake_median_ms"] < 1.0 else
                    "MISSED"))
    if "bias_median_ms" in desktop:
        lines.append("answer time against presses sent at known times after the picture reached "
                     "the X server, %d answers: bias median %.3f ms, sd %.3f ms (min %.3f, max "
                     "%.3f; picture onset known to +-%.3f ms); goal bias and spread under 1 ms: "
                     "%s" % (desktop["answers"], desktop["bias_median_ms"],
                             desktop["bias_sd_ms"], desktop["bias_min_ms"],
                             desktop["bias_max_ms"], desktop["onset_uncertainty_ms"],
                             "met" if abs(desktop["bias_median_ms"]) < 1.0 and
                             desktop["bias_sd_ms"] < 1.0 else "MISSED"))
    machine_busy = 100.0 * (busy1 - busy0) / max(1, total1 - total0)
    print("\n== Summary ==")
    print("machine: %d cores (nproc), %s, X under Xvfb; load average %s at the start, %s at "
          "the end; both cores %.0f %% busy over the run, other work included"
          % (os.cpu_count(), cpu_model(), load0, load_average(), machine_busy))
    if others:
        print("busiest other processes still running at the end (share of one core over the run): " + others)
    for line in lines:
        print("- " + line)


if __name__ == "__main__":
    main()
