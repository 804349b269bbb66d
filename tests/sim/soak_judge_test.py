#!/usr/bin/env python3
"""The soak's verdicts on made-up runs of 100 windows: the shapes a real run takes (a fight
that lasts, memory that settles) pass; a stall, a slowdown and growing memory fail."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
from soak_judge import judge  # noqa: E402


def run(cpu, rss=None):
    rss = rss or [20000] * len(cpu)
    return [{"step": (i + 1) * 1000, "cpu_seconds": c, "peak_rss_kb": r} for i, (c, r) in enumerate(zip(cpu, rss))]


FLAT = [0.020] * 100


def with_windows(base, at, values):
    cpu = list(base)
    cpu[at:at + len(values)] = values
    return cpu


CASES = [
    # name, windows, faults expected (substrings)
    ("flat", run(FLAT), []),
    ("a fight of 20 windows at 2.8x", run(with_windows(FLAT, 30, [0.056] * 20)), []),
    ("a window at 1.9x", run(with_windows(FLAT, 60, [0.038])), []),
    ("a stall at 2.1x", run(with_windows(FLAT, 60, [0.042])), ["around it"]),
    ("a stall in the last window", run(with_windows(FLAT, 99, [0.045])), ["around it"]),
    ("steps slowing to 2.5x", run([0.020 * (1 + 1.5 * i / 99) for i in range(100)]), ["last tenth"]),
    ("steps slowing to 1.8x", run([0.020 * (1 + 0.8 * i / 99) for i in range(100)]), []),
    ("memory up 4 % after the first tenth", run(FLAT, [20000] * 10 + [20800] * 90), []),
    ("memory up 6 % after the first tenth", run(FLAT, [20000] * 10 + [21200] * 90), ["memory"]),
    ("memory growing within the first tenth", run(FLAT, [10000 + 1000 * i for i in range(10)] + [19000] * 90), []),
    ("a window missing", run(FLAT)[:99], ["99 windows"]),
]


class SoakJudge(unittest.TestCase):
    def test_cases(self):
        for name, windows, expected in CASES:
            with self.subTest(name):
                _, faults = judge(windows, 100000)
                self.assertEqual(len(faults), len(expected), faults)
                for want, got in zip(expected, faults):
                    self.assertIn(want, got)

    def test_a_short_run_compares_three_windows_at_each_end(self):
        # Ten windows: a tenth is one window, a light first one must not fail the run.
        _, faults = judge(run([0.010, 0.020, 0.020, 0.020, 0.022, 0.024, 0.026, 0.028, 0.030, 0.033]), 10000)
        self.assertEqual(faults, [])


if __name__ == "__main__":
    unittest.main()
