#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Judges a soak run from orrindel-sim's window lines (one every 1,000 steps).

A soak is there to find two faults: memory that keeps growing, and steps that get slower
as the game goes on (a list that grows and is walked every step, a stall that comes back
now and then). What a window costs also follows what the game is doing: a fight casts
several times the rays of a walk through an empty hall, and a fight lasts dozens of
windows, and may fill the end of a short run. So the slowest window is compared with the
windows around it, not with the whole run, and a slowdown is looked for in the lightest
windows, which a fight does not touch but a cost that every step pays lifts:

  - memory: the peak resident memory after all steps within 5 % of that after a tenth;
  - a stall: no window over twice the median of the 21 windows around it;
  - a slowdown: the lightest window of the second half within twice the lightest of the
    first half, judged in runs of 100 windows or more (a fight lasts some 20: in a shorter
    run one can fill a half). Processor time moves by a third with the load on the machine
    (the other thread of a core), and a run of an hour meets changes of load.

The slowest window against the median of the whole run is printed too.

usage: soak_judge.py NAME STEPS WALL_SECONDS SIM_OUTPUT [CHECK]   (CHECK 0: figures only)
"""
import json
import statistics
import sys

AROUND = 10  # windows on either side of the one judged


def judge(windows, steps):
    """Returns (figures line, list of faults) for the window records of a run of STEPS."""
    if len(windows) != steps // 1000 or not windows:
        return "", [f"{len(windows)} windows for {steps} steps"]
    tenth = max(len(windows) // 10, 1)
    early = windows[tenth - 1]["peak_rss_kb"]
    late = windows[-1]["peak_rss_kb"]
    cpu = [w["cpu_seconds"] for w in windows]
    median, slowest = statistics.median(cpu), max(cpu)
    at = windows[cpu.index(slowest)]["step"]
    stall, stall_at = 0.0, 0
    for i, c in enumerate(cpu):
        around = statistics.median(cpu[max(0, i - AROUND):i + AROUND + 1])
        if around > 0 and c / around > stall:
            stall, stall_at = c / around, windows[i]["step"]
    half = max(len(cpu) // 2, 1)
    first, last = min(cpu[:half]), min(cpu[-half:])
    slowdown = last / first if first > 0 else 1.0
    grown = (late - early) / early * 100
    line = (f"{steps} steps; peak RSS {early} kB after {tenth * 1000} steps, {late} kB after {steps} "
            f"({grown:+.2f} %); 1,000-step windows: median {median * 1000:.1f} ms, slowest "
            f"{slowest * 1000:.1f} ms (ending at step {at}, {slowest / median:.2f}x the median); "
            f"against the windows around it at most {stall:.2f}x (step {stall_at}); "
            f"lightest window of the second half {slowdown:.2f}x that of the first")
    faults = []
    if late > early * 1.05:
        faults.append("memory grew by more than 5 %")
    if stall > 2:
        faults.append("a window took more than twice the median of the windows around it")
    if slowdown > 2 and len(cpu) >= 100:
        faults.append("the second half's lightest window took more than twice the first half's")
    return line, faults


def main(argv):
    name, steps, wall, path = argv[1], int(argv[2]), argv[3], argv[4]
    check = len(argv) < 6 or argv[5] != "0"
    with open(path) as out:
        windows = [json.loads(l)["window"] for l in out if l.startswith('{"window"')]
    line, faults = judge(windows, steps)
    if line:
        print(f"{name}: {line}; {wall} s of wall time")
    if faults and (check or not line):
        print(f"{name}: " + "; ".join(faults), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
