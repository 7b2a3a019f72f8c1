#!/usr/bin/python3
# The parts of the peers benchmark that can be wrong without any terminal noticing: a query left in
# a replayed recording (every terminal would answer it into the shell), a redraw that runs off the
# grid (it would scroll, and measure scrolling instead), and the ratios the tables report.
import os
import random
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import report  # noqa: E402
import workloads  # noqa: E402

CUP = re.compile(r"\033\[(\d+);(\d+)H([^\033]*)")


class Queries(unittest.TestCase):
    def test_queries_go_and_everything_else_stays(self):
        cases = [
            (b"a\x1b[cb", b"ab"),  # primary device attributes
            (b"\x1b[0c\x1b[>c\x1b[=c", b""),  # with a parameter, secondary, tertiary
            (b"\x1b[6n\x1b[5n\x1b[?6n", b""),  # status and cursor position reports
            (b"\x1b[?12$p\x1b[2026$p", b""),  # private and ANSI mode reports
            (b"\x1b]11;?\x07x\x1b]10;?\x1b\\", b"x"),  # colour queries, BEL and ST
            (b"\x1bPzz\x1b\\\x1bP+q544e\x1b\\y", b"y"),  # device control strings
            (b"\x1b[31m\x1b[2J\x1b[?1049h\x1b[5;10H\x1b[K", b"\x1b[31m\x1b[2J\x1b[?1049h\x1b[5;10H\x1b[K"),
            (b"\x1b]0;title\x07\x1b[?25l\x1b[1 q\x1b[2;23r", b"\x1b]0;title\x07\x1b[?25l\x1b[1 q\x1b[2;23r"),
        ]
        for data, expected in cases:
            with self.subTest(data=data):
                self.assertEqual(workloads.without_queries(data), expected)

    def test_the_replayed_session_asks_nothing(self):
        session = workloads.program_session()
        self.assertGreater(len(session), 4000)
        for query in (b"\x1b[6n", b"\x1b[>c", b"\x1b]11;?", b"$p", b"\x1bP"):
            with self.subTest(query=query):
                self.assertFalse(query in session, query)  # not the whole session on failure
        self.assertIn(b"\x1b[?1049h", session)  # still full-screen programs


class Redraws(unittest.TestCase):
    def test_every_field_stays_inside_its_row(self):
        rng = random.Random(5)
        for _ in range(200):
            screen = workloads.redraw_screen(rng)
            fields = CUP.findall(screen.replace("\033[K", ""))
            self.assertEqual(len(screen.replace("\033[K", "")), sum(len(f"\033[{r};{c}H{t}") for r, c, t in fields))
            rows = {int(r) for r, _, _ in fields}
            self.assertEqual(rows, set(range(1, 25)))
            for row, column, text in fields:
                self.assertLessEqual(int(column) + len(text) - 1, 80, (row, column, text))


def results(medians):
    """Figures in the benchmark's shape: {terminal: (its times, its interleaved raw times)}."""
    return {"workloads": [("dense", "dense text")], "conditions": {"none": {"terminals": {
        name: {"times": {"dense": times}} for name, times in medians.items()}}}}


class Ratios(unittest.TestCase):
    def test_against_the_raw_drain_and_the_fastest_peer(self):
        cases = [
            # Vitrion's own raw drain is the ratio's base, whatever the peers' drains took.
            ({"Vitrion": ([1.0, 1.2, 1.1], [1.0, 1.0, 0.9]), "xterm": ([3.0], [0.5]), "st": ([2.0], [2.0])},
             (1.1, 1.1 / 2.0, "st")),
            # Vitrion is never its own fastest peer.
            ({"Vitrion": ([0.5], [1.0]), "konsole": ([4.0], [1.0])}, (0.5, 0.125, "konsole")),
            ({"Vitrion": ([2.0], [1.0])}, (2.0, None, None)),
        ]
        for medians, (raw, peer, name) in cases:
            with self.subTest(medians=medians):
                got = report.ratios(results(medians), "none")["dense"]
                self.assertAlmostEqual(got[0], raw)
                if peer is None:
                    self.assertIsNone(got[1])
                else:
                    self.assertAlmostEqual(got[1], peer)
                self.assertEqual(got[2], name)


if __name__ == "__main__":
    unittest.main()
