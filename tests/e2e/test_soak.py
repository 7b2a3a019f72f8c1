# Long output in the real window: the program stays alive, its resident memory stays bounded and
# stops growing once the history is full, and typing works afterwards (checked through a file the
# shell writes). ShortSoakTest runs with the end-to-end cases; the long ones carry their own label.
import os
import statistics
import time

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import file_text

MIXED_OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vitrion_e2e", "mixed_output.py")
RSS_LIMIT_MB = 150.0


class Soak(DesktopCase):
    """Runs one command in the window while sampling the program's resident memory."""

    def run_and_sample(self, app, command, timeout):
        done = app.home.file("soak-done.txt")
        app.type(f"{command}; echo $? > soak-done.txt")
        app.key("Return")
        samples = []  # (seconds since start, MB)
        start = time.monotonic()
        while file_text(done) is None:
            self.assertTrue(app.alive(), f"the program died during the soak:\n{app.log()[-2000:]}")
            elapsed = time.monotonic() - start
            self.assertLess(elapsed, timeout, f"{command!r} did not finish in {timeout} s")
            samples.append((elapsed, app.rss_mb()))
            self.assertLess(samples[-1][1], RSS_LIMIT_MB, f"resident memory at {elapsed:.0f} s")
            time.sleep(0.25)
        self.assertEqual(file_text(done).strip(), "0", f"{command!r} failed")
        print(f"\n{command}: {time.monotonic() - start:.1f} s, {len(samples)} samples, "
              f"peak {max(mb for _, mb in samples):.1f} MB, last {samples[-1][1]:.1f} MB", flush=True)
        return samples

    def assert_typing_works(self, app):
        start = time.monotonic()
        app.command("echo typed > typed.txt", wait_prompt=False)
        self.assertEqual(app.wait_for_file("typed.txt", timeout=120), "typed\n")
        print(f"typing answered in {time.monotonic() - start:.1f} s", flush=True)

    def assert_no_growth(self, samples, settle, allowance_mb):
        """Memory after the settle time: the median of the last quarter is no more than allowance
        above the median of the first quarter."""
        later = [mb for t, mb in samples if t >= settle]
        self.assertGreater(len(later), 8, "too few samples after the history filled")
        quarter = len(later) // 4
        early, late = statistics.median(later[:quarter]), statistics.median(later[-quarter:])
        self.assertLess(late - early, allowance_mb, f"resident memory grew from {early:.1f} to {late:.1f} MB")

    def mixed(self, seconds):
        return f"/usr/bin/python3 {MIXED_OUTPUT} {seconds}"


class ShortSoakTest(Soak):
    def test_thirty_seconds_of_mixed_output(self):
        app = self.launch()
        samples = self.run_and_sample(app, self.mixed(30), timeout=150)
        self.assert_no_growth(samples, settle=8, allowance_mb=12)
        self.assert_typing_works(app)


class MixedOutputTest(Soak):
    def test_ten_minutes_of_mixed_output(self):
        app = self.launch()
        samples = self.run_and_sample(app, self.mixed(600), timeout=1000)
        self.assert_no_growth(samples, settle=60, allowance_mb=8)
        self.assert_typing_works(app)


class RandomGigabyteTest(Soak):
    def test_a_gibibyte_of_random_bytes(self):
        app = self.launch()
        # Random bytes often end inside a string control that swallows what follows, as designed:
        # ESC \ ends it, BEL ends an OSC one, ESC c resets the screen.
        self.run_and_sample(app, "head -c 1G /dev/urandom; printf '\\033\\\\\\007\\033c'", timeout=3000)
        self.assert_typing_works(app)
