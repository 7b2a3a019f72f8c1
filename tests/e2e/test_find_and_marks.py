# Find and shell integration in the real window: a word 50,000 lines up found and stepped through,
# its cells highlighted; in bash and zsh the jump to the previous prompt, one command's output
# selected and copied, New Shell where `cd` went, the user's own start-up file still read; and the
# notification of a long command that ends while the window is in the background.
import os
import shutil
import subprocess
import tempfile

from vitrion_e2e.programs import GLASS, ProgramCase, near
from vitrion_e2e.waiting import wait_until

NEWER = "10500 findme"   # 10,000 lines up
OLDER = "10000 x findme"  # 50,000 lines up


def clipboard(app):
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=app.env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, timeout=10).stdout


class FindTest(ProgramCase):
    settings = {"scrollbackLines": 100000}

    def row_showing(self, screen, text, rows):
        return next((r for r in range(rows) if screen.shows(r, text)), None)

    def highlighted(self, screen, row, text):
        """The word's cells shaded, the cells around it not."""
        start = text.index("findme")
        return (all(not near(screen.colour(row, c), GLASS, 30) for c in range(start, start + 6))
                and near(screen.colour(row, start - 1), GLASS, 30) and near(screen.colour(row, start + 6), GLASS, 30))

    def test_a_word_fifty_thousand_lines_up_is_found_and_stepped_to(self):
        app = self.app
        rows, _ = self.fresh_screen(large=False)
        app.command("seq 1 60000 | sed -e 's/^10000$/10000 x findme/' -e 's/^10500$/10500 findme/'")
        at_bottom = lambda s: any(s.shows(r, "60000") and s.shows(r + 1, "$ ", skip_cursor=True)  # noqa: E731
                                  for r in range(rows - 4, rows))
        self.wait_screen(at_bottom, "the end of the output")
        app.key("ctrl+shift+f")
        app.type("findme")
        shown = self.wait_screen(lambda s: self.row_showing(s, NEWER, rows) is not None, "the newer match")
        row = self.row_showing(shown, NEWER, rows)
        self.wait_screen(lambda s: self.highlighted(s, row, NEWER), "the current match shaded")
        app.key("Return")  # up to the older one
        shown = self.wait_screen(lambda s: self.row_showing(s, OLDER, rows) is not None, "the older match")
        row = self.row_showing(shown, OLDER, rows)
        self.wait_screen(lambda s: self.highlighted(s, row, OLDER), "the older match shaded")
        app.key("shift+Return")
        self.wait_screen(lambda s: self.row_showing(s, NEWER, rows) is not None, "the newer match again")
        # Ctrl+Shift+C copies the current match; Escape goes back to the prompt at the bottom.
        app.key("ctrl+shift+c")
        wait_until(lambda: clipboard(app) == "findme", 10, "the match on the clipboard")
        app.key("Escape")
        self.wait_screen(at_bottom, "the bottom again")


class IntegratedShellCase(ProgramCase):
    """The scenario for each integrated shell; the user's rc file sets a marker."""

    def check_marks_copy_and_new_shell(self, marker_file):
        app = self.app
        rows, _ = self.fresh_screen(large=False)
        app.command(f"echo \"$RCMARK\" > {marker_file}")
        self.assertEqual(app.wait_for_file(marker_file).strip(), "rc-file-ran")
        app.command("seq 1 100")
        app.command("echo done")
        app.key("ctrl+shift+Up")
        self.wait_screen(lambda s: s.shows(0, "$ seq 1 100") and s.shows(1, "1") and s.shows(2, "2"),
                         "the previous command's prompt at the top")
        # Ctrl+triple click in its output selects all of it, and only it.
        self.pointer_to(5, 0)
        app.xdo("keydown", "ctrl")
        app.xdo("click", "--repeat", "3", "--delay", "80", "1")
        app.xdo("keyup", "ctrl")
        app.key("ctrl+shift+c")
        expected = "\n".join(str(n) for n in range(1, 101))
        wait_until(lambda: clipboard(app).rstrip("\n") == expected, 10, "the command's output on the clipboard")
        # New Shell starts where cd went.
        app.command("mkdir -p there && cd there")
        old = app.shell_pid()
        app.key("ctrl+shift+n")
        app.wait_for_shell(previous=old)
        app.command("pwd > where.txt")
        self.assertEqual(app.wait_for_file("there/where.txt").strip(), os.path.realpath(app.home.file("there")))


class BashIntegrationTest(IntegratedShellCase):
    shell = "/bin/bash"
    # As Debian's own ~/.profile does, the login file reads ~/.bashrc.
    rc_additions = {".bashrc": "RCMARK=rc-file-ran\n", ".bash_profile": "[ -r ~/.bashrc ] && . ~/.bashrc\n"}

    def test_bash_prompts_output_and_new_shell(self):
        self.check_marks_copy_and_new_shell("bash-mark.txt")


class ZshIntegrationTest(IntegratedShellCase):
    shell = "/usr/bin/zsh"
    rc_additions = {".zshrc": "RCMARK=rc-file-ran\n"}

    def test_zsh_prompts_output_and_new_shell(self):
        self.check_marks_copy_and_new_shell("zsh-mark.txt")


class NotificationTest(ProgramCase):
    """A private session bus with dbus-monitor standing in for the notification service."""

    settings = {"notifyAfterSeconds": 1}

    def program_env(self):
        # A socket's path must be short: a folder of its own under /tmp.
        folder = tempfile.mkdtemp(prefix="vitrion-bus-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        bus = os.path.join(folder, "bus")
        address = "unix:path=" + bus
        self.procs.start("dbus-daemon", ["dbus-daemon", "--session", "--nofork", "--address=" + address],
                         env=dict(os.environ))
        wait_until(lambda: os.path.exists(bus), 10, "the session bus")
        self.monitor_log = self.procs.log_path("dbus-monitor")
        self.procs.start("dbus-monitor", ["dbus-monitor", "--address", address,
                                          "interface='org.freedesktop.Notifications'"], env=dict(os.environ))
        return {"DBUS_SESSION_BUS_ADDRESS": address}

    def notifications(self):
        with open(self.monitor_log, errors="replace") as log:
            return log.read()

    def test_a_long_command_ending_in_the_background_is_notified(self):
        app = self.app
        self.fresh_screen(large=False)
        # In front of the user: no notification.
        app.command("sleep 1.5")
        # Behind another window: one, with the command line and its status.
        self.procs.start("xlogo", ["xlogo"], env=app.env)
        found = wait_until(lambda: app.xdo("search", "--onlyvisible", "--class", "xlogo").stdout.split(), 15,
                           "the other window")
        app.focus()  # the new window took the focus
        app.type("sleep 2; false")
        app.key("Return")
        app.xdo("windowactivate", "--sync", found[0], timeout=15)
        wait_until(lambda: "Command finished" in self.notifications(), 20, "the notification")
        text = self.notifications()
        self.assertEqual(text.count("Command finished"), 1, text)
        self.assertIn("sleep 2; false", text)
        self.assertIn("failed with status 1", text)
