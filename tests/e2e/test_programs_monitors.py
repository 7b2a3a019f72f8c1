# Process monitors in the real window: htop (its coloured tabs, title and selection bars, a click that
# selects a process, F10) and top (its inverse column header, q), each at the first window size and in
# a window grown while it runs.
from vitrion_e2e.programs import BLUE, CYAN, GLASS, GREEN, TEXT, ProgramCase


def filled_row(s, rows, columns, colour, last=1):
    """The first row filled with colour from its middle to the last column but last - 1, or None."""
    return next((r for r in range(rows) if s.filled(r, (columns // 2, columns - last), colour)), None)


class HtopTest(ProgramCase):
    def scenario(self, large):
        app = self.app

        def shown(s, rows, columns):
            # The column titles on green (the sort column's on cyan), the first process under them in
            # the cyan selection bar and the function keys' labels on cyan in the last row.
            header = filled_row(s, rows, columns, GREEN)
            return (header is not None and s.filled(header + 1, (0, columns // 2, columns - 1), CYAN)
                    and s.filled(rows - 1, (2, 3), CYAN))

        # Sorted by process id, the rows near the top hold long-lived processes and stay put.
        rows, columns = self.start("htop --sort-key PID", shown, large)
        screen = self.screen()
        header = filled_row(screen, rows, columns, GREEN)
        self.assertGreaterEqual(header, 3, "the meters above the process list")
        # Over the titles, the tabs: "Main" on green, "I/O" on blue.
        self.assertTrue(screen.filled(header - 1, (3, 4), GREEN) and screen.filled(header - 1, (10, 11), BLUE))
        target = header + 4
        self.pointer_to(target, 20)
        app.xdo("click", "1")
        self.wait_screen(lambda s: s.filled(target, (0, columns // 2, columns - 1), CYAN)
                         and s.filled(header + 1, (columns // 2,), GLASS), "a click to select a process")
        app.key("F10")
        self.assert_screen_back()

    def test_htop(self):
        self.at_both_sizes()


class TopTest(ProgramCase):
    def scenario(self, large):
        app = self.app

        def shown(s, rows, columns):
            # The column titles in inverse, to the last column but one, under the summary.
            header = filled_row(s, rows, columns, TEXT, last=2)
            return header is not None and 4 <= header <= 8 and s.filled(header, (0,), TEXT) and s.glyph(header, 3)

        self.start("top", shown, large)
        app.type("q")
        # top leaves its last screen on the primary one, as it does in xterm.
        app.wait_for_prompt(self.prompts_before)

    def test_top(self):
        self.at_both_sizes()
