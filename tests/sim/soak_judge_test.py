#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
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
    ("a fight filling the last tenth", run(with_windows(FLAT, 90, [0.056] * 10)), []),
    ("steps slowing to 3.5x", run([0.020 * (1 + 2.5 * i / 99) for i in range(100)]), ["second half"]),
    ("steps slowing to 2.5x", run([0.020 * (1 + 1.5 * i / 99) for i in range(100)]), []),
    ("every step dearer by 2.2x from mid-run", run([0.020] * 50 + [0.044] * 50), ["second half"]),
    ("every step dearer by 1.8x from mid-run", run([0.020] * 50 + [0.036] * 50), []),
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

    def test_a_short_run_ending_in_a_fight_passes(self):
        # The shipped episode's first 10,000 steps: the fight begins near the end.
        _, faults = judge(run([0.019, 0.021, 0.020, 0.024, 0.026, 0.038, 0.040, 0.044, 0.040, 0.047]), 10000)
        self.assertEqual(faults, [])
        _, faults = judge(run([0.020] * 9 + [0.045]), 10000)
        self.assertEqual(len(faults), 1)  # a stall is judged at any length


if __name__ == "__main__":
    unittest.main()
