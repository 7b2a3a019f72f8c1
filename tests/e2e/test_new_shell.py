# New Shell (Ctrl+Shift+N): the old shell is hung up, a new one starts where the old one was on a
# fresh screen, and nothing is left behind as a zombie.
import os

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.processes import commands_of, descendants_of, process_state
from vitrion_e2e.waiting import wait_until


class NewShellTest(DesktopCase):
    def test_new_shell_hangs_up_the_old_one_and_starts_fresh(self):
        app = self.launch()
        app.calibrate()  # rows 0 and 2 now hold bars, the prompt is on row 3
        app.command("mkdir -p elsewhere && cd elsewhere")
        app.command("trap 'echo $$ > \"$HOME/hup.txt\"; kill $!; exit 0' HUP")
        # Bash at its prompt leaves on a hang-up without running the trap; waiting for a job it runs it.
        app.type("sleep 1000 & wait")
        app.key("Return")
        old = app.shell_pid()
        wait_until(lambda: any(comm == "sleep" for _, comm in commands_of(descendants_of(old))), 20,
                   "the shell to wait for its job")
        app.key("ctrl+shift+n")
        self.assertEqual(app.wait_for_file("hup.txt", lambda t: t.endswith("\n")).strip(), str(old),
                         "the old shell did not get SIGHUP")
        new = app.wait_for_shell(previous=old)
        self.assertNotEqual(new, old)
        # A fresh screen: the prompt alone on the first row (the cursor after it), nothing below.
        app.wait_for_row(0, "$ ", skip=(2,))
        for row in range(1, 6):
            app.wait_for_row(row, "")
        # It starts where the old shell last said it was (bash reports its folder by default).
        app.command("pwd > where.txt")
        self.assertEqual(app.wait_for_file("elsewhere/where.txt").strip(), os.path.join(app.home.path, "elsewhere"))
        wait_until(lambda: process_state(old) is None, 15, f"the old shell {old} to be gone and reaped")
        wait_until(lambda: not app.zombies(), 15, "no zombie children of the program")

    def test_new_shell_twice_in_a_row_leaves_one_shell(self):
        app = self.launch()
        first = app.shell_pid()
        app.key("ctrl+shift+n")
        second = app.wait_for_shell(previous=first)
        app.key("ctrl+shift+n")
        third = app.wait_for_shell(previous=second)
        wait_until(lambda: all(process_state(p) is None for p in (first, second)), 15,
                   "the replaced shells to be gone")
        app.command("echo alive > alive.txt")
        self.assertEqual(app.wait_for_file("alive.txt"), "alive\n")
        shells = [pid for pid in app.descendants() if process_state(pid) not in (None, "Z")]
        self.assertEqual(shells, [third], "only the newest shell runs under the program")
        self.assertEqual(app.zombies(), [])
