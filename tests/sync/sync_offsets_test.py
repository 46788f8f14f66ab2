#!/usr/bin/env python3
"""scripts/sync-offsets on logs written here, whose offsets are known."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.environ.get("SYNC_OFFSETS",
                        os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                     "sync-offsets"))
T0 = 1765180000.0
FRAME = 1.0 / 30


def frames(start_wall, start_movie, seconds, fps=30, rate=1.0, repeat=1, refresh=None):
    """A player presenting frames: each frame `repeat` times, `refresh` seconds apart."""
    out = []
    period = 1.0 / fps
    refresh = refresh if refresh is not None else period / repeat
    n = int(round(seconds * fps / rate))
    for k in range(n):
        wall = start_wall + k * period / rate * 1.0
        movie = start_movie + k * period
        for r in range(repeat):
            out.append((wall + r * refresh, movie))
    return out


class SyncOffsetsTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def log(self, name, lines, header="# sync log: wall-clock seconds, movie seconds"):
        path = os.path.join(self.folder.name, name)
        with open(path, "w", encoding="utf-8") as f:
            if header is not None:
                f.write(header + "\n")
            for wall, movie in lines:
                f.write(f"{wall:.9f} {movie:.6f}\n")
        return path

    def run_script(self, *args):
        return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True,
                              timeout=60)

    def offsets(self, *args):
        done = self.run_script("--json", *args)
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout)

    def test_frames_presented_late_show_as_whole_frames_and_as_a_timeline_shift(self):
        a = self.log("a.log", frames(T0, 0.0, 20))
        b = self.log("b.log", frames(T0 + 0.005, 0.0, 20))
        result = self.offsets(a, b)
        shown, line = result["all"]["shown"], result["all"]["timeline"]
        # b shows the previous frame for 5 ms of every 33.3: 15 % of the instants.
        self.assertEqual(shown["p50_ms"], 0.0)
        self.assertAlmostEqual(shown["p95_ms"], 1000 * FRAME, delta=0.01)
        self.assertAlmostEqual(shown["max_frames"], 1.0, delta=0.001)
        # (a 2 ms grid falls on these exact frame times 7 times in 50 instead of 7.5)
        self.assertAlmostEqual(shown["mean_signed_ms"], -1000 * FRAME * 0.15, delta=0.5)
        self.assertAlmostEqual(line["p50_ms"], 5.0, delta=0.01)
        self.assertAlmostEqual(line["max_ms"], 5.0, delta=0.01)
        self.assertAlmostEqual(line["mean_signed_ms"], -5.0, delta=0.01)
        self.assertGreater(shown["samples"], 9000)

    def test_a_frame_drawn_at_several_refreshes_is_one_point_of_the_timeline(self):
        a = self.log("a.log", frames(T0, 0.0, 10, repeat=2))
        b = self.log("b.log", frames(T0, 0.0, 10, repeat=1))
        result = self.offsets(a, b)
        self.assertEqual(result["all"]["shown"]["max_ms"], 0.0)
        self.assertAlmostEqual(result["all"]["timeline"]["max_ms"], 0.0, delta=0.01)

    def test_a_constant_lead_of_two_frames(self):
        a = self.log("a.log", frames(T0, 0.0, 10))
        b = self.log("b.log", frames(T0, 2 * FRAME, 10))
        result = self.offsets("--fps", "30", a, b)
        for kind in ("shown", "timeline"):
            s = result["all"][kind]
            self.assertAlmostEqual(s["p50_frames"], 2.0, delta=0.001)
            self.assertAlmostEqual(s["p99_frames"], 2.0, delta=0.001)
            self.assertAlmostEqual(s["mean_signed_ms"], 2000 * FRAME, delta=0.01)
        # the same offset in frames of another rate
        self.assertAlmostEqual(self.offsets("--fps", "60", a, b)["all"]["shown"]["p50_frames"],
                               4.0, delta=0.001)

    def test_a_loop_is_crossed_the_short_way_round(self):
        # b runs 2 frames ahead through the end of a 10 s loop.
        a_lines = [(T0 + k * FRAME, (k * FRAME) % 10.0) for k in range(450)]
        b_lines = [(T0 + k * FRAME, ((k + 2) * FRAME) % 10.0) for k in range(450)]
        a, b = self.log("a.log", a_lines), self.log("b.log", b_lines)
        looped = self.offsets("--duration", "10", a, b)["all"]["shown"]
        self.assertAlmostEqual(looped["max_frames"], 2.0, delta=0.01)
        # The loop is found in the logs without --duration too.
        found = self.offsets(a, b)
        self.assertTrue(found["loop_found"])
        self.assertAlmostEqual(found["duration_s"], 10.0, delta=1e-6)
        self.assertAlmostEqual(found["all"]["shown"]["max_frames"], 2.0, delta=0.01)

    def test_a_movie_that_loops_is_not_read_as_a_movie_length_apart(self):
        # A 25 s movie at 30 fps, played 40 s and looping at 25 s; b presents every frame
        # 5 ms after a, so it shows a's previous frame for 5 ms of every 33.3.
        def looping(start_wall):
            return [(start_wall + k * FRAME, (k % 750) * FRAME) for k in range(1200)]
        a, b = self.log("a.log", looping(T0)), self.log("b.log", looping(T0 + 0.005))
        result = self.offsets(a, b)
        self.assertTrue(result["loop_found"])
        self.assertAlmostEqual(result["duration_s"], 25.0, delta=1e-6)
        shown, line = result["all"]["shown"], result["all"]["timeline"]
        self.assertAlmostEqual(shown["max_frames"], 1.0, delta=0.001)
        # across the loop as everywhere else: 5 ms on the timeline
        self.assertAlmostEqual(line["max_ms"], 5.0, delta=0.01)
        self.assertAlmostEqual(line["p50_ms"], 5.0, delta=0.01)
        table = self.run_script(a, b).stdout
        self.assertIn("the movie loops in the logs: differences modulo 25.000 s", table)
        # A seek back to the start from 10 s into a 20 s movie is no loop.
        def seeking(start_wall):
            return [(start_wall + k * FRAME, (k if k < 300 else k - 300) * FRAME)
                    for k in range(900)]
        a, b = self.log("c.log", seeking(T0)), self.log("d.log", seeking(T0 + 0.005))
        self.assertFalse(self.offsets(a, b)["loop_found"])
        self.assertIsNone(self.offsets(a, b)["duration_s"])

    def test_a_pause_shows_the_last_frame_on_both(self):
        before = frames(T0, 0.0, 5)
        after = frames(T0 + 8, 5.0, 5)
        a = self.log("a.log", before + after)
        # b pauses one frame later and resumes on time: one frame apart all through the pause
        b = self.log("b.log", frames(T0, 0.0, 5 + FRAME) + after)
        result = self.offsets(a, b)["all"]["shown"]
        self.assertAlmostEqual(result["p50_ms"], 0.0)
        self.assertAlmostEqual(result["p95_frames"], 1.0, delta=0.001)
        # 3 s of pause out of 13: between 5 and 50 % of the instants are one frame apart
        self.assertEqual(result["p99_frames"], result["p95_frames"])

    def test_skip_and_restart_leave_out_starts_and_the_time_between_runs(self):
        b = self.log("b.log", frames(T0, 0.0, 30))
        first = self.log("a1.log", frames(T0, 0.0, 10))
        # The second run starts 5 s after the first ended, showing something else at first.
        second_lines = [(T0 + 15 + k * FRAME, 3.0) for k in range(60)]
        second_lines += frames(T0 + 17, 17.0, 13)
        second = self.log("a2.log", second_lines)
        whole = self.offsets("--skip", "2", first + "+" + second, b)
        s = whole["all"]["shown"]
        self.assertEqual(s["max_ms"], 0.0)
        # covered: 2 s to the first run's last frame, and 17 s to the last frame of both
        covered = (10 - FRAME - 2) + (30 - FRAME - 17)
        self.assertAlmostEqual(s["samples"], covered / 0.002, delta=3)
        # without the skip, the restart's first frames count
        self.assertGreater(self.offsets(first + "+" + second, b)["all"]["shown"]["max_ms"], 1000)

    def test_excluded_spans_are_left_out_of_every_pair(self):
        a = self.log("a.log", frames(T0, 0.0, 10))
        # b jumps 1 s ahead between 4 and 6 s: another player's restart, say
        b_lines = [(w, m + (1.0 if T0 + 4 <= w < T0 + 6 else 0.0)) for w, m in frames(T0, 0.0, 10)]
        b = self.log("b.log", b_lines)
        self.assertAlmostEqual(self.offsets(a, b)["all"]["shown"]["max_ms"], 1000.0, delta=0.01)
        clean = self.offsets("--exclude", f"{T0 + 4:.3f}:{T0 + 6.01:.3f}", a, b)["all"]["shown"]
        self.assertEqual(clean["max_ms"], 0.0)
        self.assertAlmostEqual(clean["samples"], (10 - FRAME - 2.01) / 0.002, delta=3)
        self.assertEqual(self.run_script("--exclude", "5:4", a, b).returncode, 2)
        self.assertEqual(self.run_script("--exclude", "soon", a, b).returncode, 2)

    def test_spans_over_a_limit_are_listed(self):
        a = self.log("a.log", frames(T0, 0.0, 10))
        # b is 100 ms ahead from 3 to 4 s, and 50 ms behind from 6 to 6.5 s
        def shifted(w, m):
            if T0 + 3 <= w < T0 + 4:
                return m + 0.1
            return m - 0.05 if T0 + 6 <= w < T0 + 6.5 else m
        b = self.log("b.log", [(w, shifted(w, m)) for w, m in frames(T0, 0.0, 10)])
        pair = self.offsets("--over", "40", a, b)["pairs"][0]
        self.assertEqual([(round(s["from_s"], 1), round(s["to_s"], 1)) for s in pair["over"]],
                         [(3.0, 4.0), (6.0, 6.5)])
        self.assertAlmostEqual(pair["over"][0]["max_ms"], 100.0, delta=0.01)
        self.assertEqual(len(self.offsets("--over", "60", a, b)["pairs"][0]["over"]), 1)
        self.assertNotIn("over", self.offsets(a, b)["pairs"][0])
        table = self.run_script("--over", "40", a, b).stdout
        self.assertIn("over for 3.000 .. 3.9", table)

    def test_all_pairs_or_against_the_first(self):
        a = self.log("a.log", frames(T0, 0.0, 5))
        b = self.log("b.log", frames(T0, FRAME, 5))
        c = self.log("c.log", frames(T0, 3 * FRAME, 5))
        every = self.offsets(a, b, c)
        self.assertEqual([(p["a"], p["b"]) for p in every["pairs"]], [(a, b), (a, c), (b, c)])
        self.assertAlmostEqual(every["pairs"][2]["shown"]["p50_frames"], 2.0, delta=0.001)
        self.assertAlmostEqual(every["all"]["shown"]["max_frames"], 3.0, delta=0.001)
        first = self.offsets("--against-first", a, b, c)
        self.assertEqual([(p["a"], p["b"]) for p in first["pairs"]], [(a, b), (a, c)])

    def test_the_table_names_each_pair_and_the_units(self):
        a = self.log("a.log", frames(T0, 0.0, 3))
        b = self.log("b.log", frames(T0, FRAME, 3))
        done = self.run_script(a, b)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(f"{a} / {b}", done.stdout)
        self.assertIn("all pairs", done.stdout)
        self.assertIn("frames", done.stdout)
        self.assertIn(" 1.00 ", done.stdout)

    def test_refresh_phases_and_the_same_frame_shown_apart(self):
        # Both show each frame at two refreshes of 60 Hz; b's refreshes come 5 ms after a's.
        a = self.log("a.log", frames(T0, 0.0, 10, repeat=2))
        b = self.log("b.log", frames(T0 + 0.005, 0.0, 10, repeat=2))
        c = self.log("c.log", frames(T0 + 0.015, 0.0, 10))
        done = self.run_script("--refresh", "60", a, b, c)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = [line for line in done.stdout.splitlines() if "apart in phase" in line]
        self.assertEqual(len(lines), 3, done.stdout)
        self.assertIn(f"{a} / {b}: refreshes 5.0 ms apart in phase", lines[0])
        # Frames shown twice tell nothing of when each went on screen first.
        self.assertIn("no frame shown once by both", lines[0])
        self.assertIn(f"{a} / {c}: refreshes 1.7 ms apart in phase", lines[1])
        self.assertIn(f"{b} / {c}: refreshes 6.7 ms apart in phase", lines[2])
        single = self.log("d.log", frames(T0 + 0.012, 0.0, 10))
        done = self.run_script("--refresh", "60", c, single)
        self.assertIn("the same frame shown 3.0 ms apart (median of", done.stdout)
        self.assertNotIn("apart in phase", self.run_script(a, b).stdout)

    def test_bad_input_is_named_and_refused(self):
        good = self.log("good.log", frames(T0, 0.0, 3))
        bad = self.log("bad.log", [(T0, 0.0)])
        with open(bad, "a", encoding="utf-8") as f:
            f.write("1765180000.5 twelve\n")
        done = self.run_script(good, bad)
        self.assertEqual(done.returncode, 1)
        self.assertIn("bad.log:3", done.stderr)
        missing = self.run_script(good, os.path.join(self.folder.name, "none.log"))
        self.assertEqual(missing.returncode, 1)
        self.assertIn("none.log", missing.stderr)
        empty = self.run_script(good, self.log("empty.log", []))
        self.assertEqual(empty.returncode, 1)
        self.assertIn("no frames", empty.stderr)
        later = self.log("later.log", frames(T0 + 100, 0.0, 3))
        apart = self.run_script(good, later)
        self.assertEqual(apart.returncode, 1)
        self.assertIn("no span in common", apart.stderr)
        self.assertEqual(self.run_script(good).returncode, 2)
        self.assertEqual(self.run_script("--fps", "0", good, good).returncode, 2)
        self.assertEqual(self.run_script("--skip", "-1", good, good).returncode, 2)
        # A span far too long for the step (a log with a stray time years on) is refused at
        # once, not sampled.
        stray = self.log("stray.log", frames(T0, 0.0, 3) + [(T0 + 1e8, 3.0)])
        done = self.run_script(stray, stray)
        self.assertEqual(done.returncode, 2)
        self.assertIn("give a larger --step", done.stderr)


if __name__ == "__main__":
    unittest.main()
