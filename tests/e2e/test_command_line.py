# The command line as launchers and scripts use it: a command with its arguments in a folder of its
# own, the window going with the command or held with a title and a class, a single quoted string,
# a command that cannot run, and a mistake on the line.
import os
import subprocess

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.cells import MESSAGE_RED
from vitrion_e2e.waiting import file_text, wait_until


class CommandLineTest(DesktopCase):
    def run_to_exit(self, args, timeout=30):
        """Starts the program with args and waits for it to exit by itself; its exit status."""
        home = self.new_home()
        proc = self.procs.start(f"vitrion-{self._testMethodName}", [self.binary, *args],
                                env=self.xstack.env(HOME=home.path, SHELL="/bin/bash"), cwd=home.path)
        wait_until(lambda: proc.poll() is not None, timeout, "the program to exit with its command")
        return home, proc.returncode

    def test_a_command_runs_in_its_folder_and_the_window_goes_with_it(self):
        folder = os.path.join(self.workdir, "project dir")
        os.makedirs(folder, exist_ok=True)
        result = os.path.join(self.workdir, "pwd.txt")
        _, status = self.run_to_exit(["--working-directory", folder, "-e", "sh", "-c", f'echo "$PWD" > "{result}"'])
        self.assertEqual(status, 0)
        self.assertEqual(file_text(result), folder + "\n")

    def test_one_quoted_string_runs_through_the_shell(self):
        home, status = self.run_to_exit(["-e", "echo one two > words.txt"])
        self.assertEqual(status, 0)
        self.assertEqual(file_text(home.file("words.txt")), "one two\n")

    def test_hold_keeps_the_window_with_its_title_and_class(self):
        app = self.launch(wait_for_shell=False, title="Build log",
                          args=["--hold", "-T", "Build log", "--class", "BuildLog", "--",
                                "sh", "-c", "echo done > done.txt"])
        self.assertEqual(app.wait_for_file("done.txt"), "done\n")
        wait_until(lambda: not app.descendants(), 10, "the command to exit")
        self.assertTrue(app.alive())
        wm_class = subprocess.run(["xprop", "-id", app.window, "WM_CLASS"], env=app.env, stdout=subprocess.PIPE,
                                  text=True, timeout=10).stdout
        self.assertIn('"BuildLog"', wm_class)
        self.assertEqual(app.xdo("getwindowname", app.window).stdout.strip(), "Build log")

    def test_a_command_that_cannot_run_says_why_and_keeps_the_window(self):
        reference = self.launch()
        grid = reference.calibrate()
        reference.stop()
        app = self.launch(wait_for_shell=False, args=["-e", "no-such-command"])
        app.grid = grid
        line = "Could not run no-such-command (command not found)."
        app.wait_for_row(0, line, text_color=MESSAGE_RED)
        self.assertTrue(app.alive())

    def test_a_mistake_on_the_line_exits_2_with_the_reason(self):
        result = subprocess.run([self.binary, "--no-such-option"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, timeout=30, env={"PATH": os.environ.get("PATH", "")})
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stdout, "")
        self.assertIn("Unknown option 'no-such-option'", result.stderr)
