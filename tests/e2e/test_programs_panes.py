# Programs that divide the screen, in the real window: tmux (a split, its green status bar, output
# that scrolls inside the lower pane only, detaching) and mc (blue panels, the selection bar moved
# with the arrows, F10), each at the first window size and in a window grown while it runs.
import subprocess

from vitrion_e2e.programs import BLUE, CYAN, GREEN, ProgramCase

FILES = 60  # more than the lower pane holds


class TmuxTest(ProgramCase):
    def setUp(self):
        super().setUp()
        for n in range(1, FILES + 1):
            self.app.home.write(f"many/f{n:03d}", "")
        # The server outlives the client: its socket is in a folder of this test's own.
        self.addCleanup(subprocess.run, ["tmux", "kill-server"], env=self.app.env, stderr=subprocess.DEVNULL,
                        timeout=10)

    def scenario(self, large):
        app = self.app

        def status_bar(s, rows, columns):
            return s.filled(rows - 1, (0, columns // 2, columns - 1), GREEN)

        rows, columns = self.start("tmux -f /dev/null", status_bar, large)
        app.key("ctrl+b", "quotedbl")
        # The divider is a line across the middle of the screen; the lower pane's shell prompts under it.
        def divider_row(s):
            return next((r for r in range(1, rows - 1) if s.shape(r, columns) == "#" * columns), None)

        split = self.wait_screen(lambda s: divider_row(s) is not None and s.shows(divider_row(s) + 1, "$ ",
                                                                                  skip_cursor=True), "the split")
        divider = divider_row(split)
        self.assertLessEqual(abs(divider - (rows - 2) / 2), 1)
        app.type("ls -1 many")
        app.key("Return")
        last = rows - 2
        self.wait_screen(lambda s: s.shows(last - 2, f"f{FILES - 1:03d}") and s.shows(last - 1, f"f{FILES:03d}")
                         and s.shows(last, "$ ", skip_cursor=True), "the listing to scroll the lower pane")
        screen = self.screen()
        # Output that scrolled the pane left the upper pane, the divider and the status bar alone.
        self.assertTrue(screen.shows(0, "$ "), "the upper pane's prompt")
        for row in range(1, divider):
            self.assertEqual(screen.shape(row, columns), "." * columns, f"upper pane row {row}")
        self.assertEqual(screen.shape(divider, columns), "#" * columns)
        self.assertTrue(screen.shows(divider + 1, f"f{FILES - (last - divider - 2):03d}"), "the pane's first row")
        self.assertTrue(status_bar(screen, rows, columns))
        app.key("ctrl+b", "d")
        self.assert_screen_back()
        subprocess.run(["tmux", "kill-server"], env=app.env, check=True, timeout=10)

    def test_tmux(self):
        self.at_both_sizes()


class McTest(ProgramCase):
    def scenario(self, large):
        app = self.app

        def panels(s, rows, columns):
            # The menu bar on cyan, both panels blue down to the hint line, the first entry in the
            # left panel under the cyan selection bar.
            return (s.filled(0, (0, columns // 2, columns - 1), CYAN)
                    and s.filled(rows - 5, (1, columns // 4, columns // 2 + 1, columns - 2), BLUE)
                    and s.filled(3, (2, columns // 4), CYAN))

        self.start("mc", panels, large)
        app.key("Down", "Down")
        self.wait_screen(lambda s: s.filled(5, (2, 10), CYAN) and s.filled(3, (2, 10), BLUE),
                         "the selection bar two entries down")
        app.key("Up")
        self.wait_screen(lambda s: s.filled(4, (2, 10), CYAN) and s.filled(5, (2, 10), BLUE),
                         "the selection bar one entry up")
        app.key("F10")
        self.assert_screen_back()

    def test_mc(self):
        self.at_both_sizes()
