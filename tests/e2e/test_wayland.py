# The program on Wayland (QT_QPA_PLATFORM=wayland) under a headless sway: it draws the prompt, takes
# typed keys, pastes from and copies to the Wayland clipboard, and follows a resize.
import os
import shutil
import tempfile
import unittest

from vitrion_e2e.cells import find_glass, luma
from vitrion_e2e.home import Home
from vitrion_e2e.processes import ProcessTable, children_of
from vitrion_e2e.wayland import WaylandStack, missing_tools
from vitrion_e2e.waiting import file_text, wait_until


def qt_has_wayland():
    folders = ["/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms", "/usr/lib/qt6/plugins/platforms"]
    return any(os.path.exists(os.path.join(f, "libqwayland-generic.so")) for f in folders)


class WaylandSmokeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = missing_tools()
        if missing:
            raise unittest.SkipTest("missing tools for the Wayland case: " + ", ".join(missing))
        if not qt_has_wayland():
            raise unittest.SkipTest("Qt's Wayland platform plugin (qt6-wayland) is not installed")
        cls.binary = os.environ.get("VITRION_BINARY", "")
        if not cls.binary or not os.access(cls.binary, os.X_OK):
            raise unittest.SkipTest(f"program under test not found: {cls.binary!r}")
        cls.workdir = tempfile.mkdtemp(prefix="vitrion-e2e-wayland-")
        cls.procs = ProcessTable(cls.workdir)
        try:
            cls.stack = WaylandStack(cls.procs, cls.workdir).start()
        except Exception:
            cls.procs.stop_all()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.procs.stop_all()
        shutil.rmtree(cls.workdir, ignore_errors=True)

    def prompt_ink(self, image):
        """Bright pixels in the first cell of the first row, where bash's "$ " prompt starts (the
        cursor is two cells further right); none while the glass is not on the output yet (the
        shell can be up before the compositor shows the window's first frame)."""
        glass = find_glass(image)
        if glass is None:
            return 0
        left, top = 24 + 2, glass.y + 24 + 2  # inside the padding and the text inset
        return sum(luma(image.pixel(x, y)) > 120 for y in range(top, top + 20) for x in range(left, left + 8))

    def command(self, home, text, name):
        self.stack.type(text, "Return")
        return wait_until(lambda: file_text(home.file(name)), 30, f"the shell to write {name}")

    def stty_size(self, home, name):
        rows, columns = self.command(home, f"stty size > {name}", name).split()
        return int(rows), int(columns)

    def test_the_window_draws_takes_keys_uses_the_clipboard_and_resizes(self):
        home = Home(self.workdir, "wayland")
        app = self.procs.start("vitrion", [self.binary], env=self.stack.env(HOME=home.path, SHELL="/bin/bash"),
                               cwd=home.path)

        def shell_up():
            self.assertIsNone(app.poll(), f"the program exited with status {app.returncode}")
            pid = file_text(home.file(".e2e-shell-pid"))
            return pid and pid.strip().isdigit() and int(pid) in children_of(app.pid)

        wait_until(shell_up, 30, "the shell to start in the Wayland window")
        # The prompt ("$ ") is drawn in the text colour at the top of the glass.
        wait_until(lambda: self.prompt_ink(self.stack.screenshot()) > 5, 20, "the prompt to be drawn")

        self.assertEqual(self.command(home, "echo typed on wayland > typed.txt", "typed.txt"), "typed on wayland\n")

        self.stack.offer_clipboard("from the clipboard")
        wait_until(lambda: self.stack.run("wl-paste", "--no-newline") == "from the clipboard", 20,
                   "wl-copy to offer the text")
        self.stack.type("echo '")
        self.stack.chord("ctrl", "shift", "v")
        self.assertEqual(self.command(home, "' > pasted.txt", "pasted.txt"), "from the clipboard\n")

        self.stack.chord("ctrl", "shift", "a")
        self.stack.chord("ctrl", "shift", "c")
        wait_until(lambda: "echo typed on wayland" in self.stack.run("wl-paste", "--no-newline"), 20,
                   "the selection to reach the Wayland clipboard")

        before = self.stty_size(home, "before.txt")
        self.stack.run("swaymsg", "floating enable, resize set width 800 px height 600 px")
        after = wait_until(lambda: (lambda size: size != before and size)(
            self.stty_size(home, f"after{len(os.listdir(home.path))}.txt")), 30, "the grid to follow the resize")
        self.assertLess(after[0], before[0])
        self.assertLess(after[1], before[1])
        self.assertIsNone(app.poll())
