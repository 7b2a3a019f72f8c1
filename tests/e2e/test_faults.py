# Faults from outside: the shell killed with SIGKILL, a home whose .config is a plain file, and a
# shell choice that cannot be run. The program reports what it must and keeps working.
import os
import signal
import time
import unittest

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.cells import MESSAGE_RED
from vitrion_e2e.sizing import grid_rule, measure_cells, stty_size, visible_area
from vitrion_e2e.waiting import wait_until

SAVE_FAILED = "Vitrion settings could not be saved: "


class FaultsTest(DesktopCase):
    def test_a_killed_shell_shows_the_exit_line_and_leaves_the_program_idle(self):
        app = self.launch()
        app.calibrate()  # the prompt is on row 3
        shell = app.shell_pid()
        os.kill(shell, signal.SIGKILL)
        line = "Shell terminated by signal 9."
        app.wait_for_row(4, line, skip=(len(line),))  # on a line of its own, the cursor after it
        wait_until(lambda: not app.zombies(), 10, "the killed shell to be reaped")
        # Nothing left to read: the program must not spin on the dead pty.
        start_cpu, start = app.cpu_seconds(), time.monotonic()
        time.sleep(4)
        used = (app.cpu_seconds() - start_cpu) / (time.monotonic() - start)
        self.assertLess(used, 0.1, f"the program uses {used:.0%} of a core after its shell died")
        self.assertTrue(app.alive())

    def test_a_plain_file_named_config_logs_the_failed_save_and_keeps_working(self):
        home = self.new_home()
        home.write(".config", "a plain file where the directory should be\n")
        app = self.launch(home=home)
        metrics = measure_cells(app)
        self.assertEqual(stty_size(app, "size.txt"), grid_rule(*visible_area(app), *metrics))
        app.open_settings_panel()
        app.key("Tab", "Tab", "Home")  # the opacity slider to its left end
        wait_until(lambda: SAVE_FAILED in app.log(), 20, "the failed save to be logged")
        app.key("Escape")
        app.focus()
        app.command("echo still > still.txt")
        self.assertEqual(app.wait_for_file("still.txt"), "still\n")
        self.assertTrue(os.path.isfile(home.file(".config")))
        reasons = [line.split(SAVE_FAILED, 1)[1].strip() for line in app.log().splitlines() if SAVE_FAILED in line]
        self.assertTrue(reasons and all(reasons), f"the log line carries no reason: {app.log()!r}")

    def test_a_shell_that_cannot_run_says_why_and_default_brings_one_back(self):
        candidates = [d + "fish" for d in ("/bin/", "/usr/bin/", "/opt/homebrew/bin/", "/usr/local/bin/")]
        if any(os.access(p, os.X_OK) for p in candidates + ["/bin/zsh"]):
            raise unittest.SkipTest("fish or /bin/zsh is installed here")
        # Without a shell there is nothing to calibrate with: measure the grid in a window of the
        # same size and settings that has one.
        reference = self.launch()
        grid = reference.calibrate()
        reference.stop()
        home = self.new_home()
        home.write_config(shell="fish")
        app = self.launch(home=home, wait_for_shell=False)
        app.grid = grid
        line = "Could not start shell /bin/zsh (No such file or directory)."
        app.wait_for_row(0, line, text_color=MESSAGE_RED)
        wait_until(lambda: not app.zombies(), 10, "the failed shell to be reaped")
        app.open_settings_panel()
        # Done, Material, three sliders and the tint well come before the Shell picker; Home picks
        # its first item, "Default", which starts a new shell at once.
        app.key(*["Tab"] * 6, "Home")
        app.wait_for_shell(timeout=30)
        app.key("Escape")
        app.focus()
        app.command("echo back > back.txt")
        self.assertEqual(app.wait_for_file("back.txt"), "back\n")
        # New Shell from the menu shortcut works from here on as well.
        previous = app.shell_pid()
        app.key("ctrl+shift+n")
        app.wait_for_shell(previous=previous)
        app.command("echo again > again.txt")
        self.assertEqual(app.wait_for_file("again.txt"), "again\n")
