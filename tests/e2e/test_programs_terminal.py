# The terminal's own commands in the real window, with what xterm shows for them: clear after a long
# output (the screen and the history emptied), reset after a screen left in disorder (the screen,
# colours and cursor as new), and tput's colours (the eight named colours, the background an erase
# fills with, inverse), each at the first window size and a larger one.
from vitrion_e2e.programs import ANSI, BLUE, GLASS, TEXT, ProgramCase

COLOURS = r"""tput colors > colors.txt
for i in 0 1 2 3 4 5 6 7; do tput setab $i; printf '  '; done; tput sgr0; echo
for i in 0 1 2 3 4 5 6 7; do tput setaf $i; printf '\342\226\210\342\226\210'; done; tput sgr0; echo
tput setab 4; tput el; tput sgr0; echo
tput rev; printf 'rev'; tput sgr0; echo
"""

DISORDER = r"printf '\033[?5h\033[41m\033[?25l\033[3;10r\033[5;5Hleft over'"


class TerminalCommandsTest(ProgramCase):
    def assert_blank_but_prompt(self, rows, columns, what):
        """Only the prompt shows, on the first row with the cursor after it."""
        def blank(s):
            return (s.shows(0, "$ ", skip_cursor=True) and s.cursor_at(0, 2)
                    and all(s.shape(r, columns) == "." * columns for r in range(1, rows))
                    and s.filled(rows // 2, (0, columns - 1), GLASS))

        self.wait_screen(blank, what)

    def clear_after_history(self, large):
        app = self.app
        rows, columns = self.fresh_screen(large)
        app.command("seq 200")
        app.command("clear")
        # clear's E3 erases the history too, as in xterm: paging up shows the same empty screen.
        self.assert_blank_but_prompt(rows, columns, "clear to leave the prompt alone on the screen")
        app.key("shift+Prior")
        self.assert_blank_but_prompt(rows, columns, "no history above the cleared screen")

    def reset_after_disorder(self, large):
        app = self.app
        rows, columns = self.fresh_screen(large)
        # Reverse video, a red pen, a hidden cursor and a scrolling region, then reset.
        app.command(DISORDER)
        self.wait_screen(lambda s: s.filled(rows - 1, (0, columns - 1), TEXT), "reverse video")
        app.command("reset", wait_prompt=False)
        self.assert_blank_but_prompt(rows, columns, "reset to clear the screen and show the cursor")
        app.command("seq 3 | tail -2")
        self.wait_screen(lambda s: s.shows(1, "2") and s.shows(2, "3") and s.filled(0, range(2, 10), GLASS),
                         "output in the default colours over the whole screen")

    def colours(self, large):
        app = self.app
        rows, columns = self.fresh_screen(large)
        app.home.write("colours", COLOURS)
        app.command("sh colours")
        row = 4
        self.wait_file("colors.txt", "256\n")

        def drawn(s):
            return (all(s.filled(row, (2 * i, 2 * i + 1), colour) for i, colour in enumerate(ANSI))
                    and s.filled(row, (16, 17), GLASS)
                    and all(s.filled(row + 1, (2 * i, 2 * i + 1), colour) for i, colour in enumerate(ANSI))
                    and s.filled(row + 2, (0, columns // 2, columns - 1), BLUE)
                    and s.filled(row + 3, (0, 1, 2), TEXT) and s.filled(row + 3, (3,), GLASS))

        self.wait_screen(drawn, "the backgrounds, the blocks in each colour, the erased line and inverse")

    def test_clear(self):
        self.clear_after_history(large=False)
        self.clear_after_history(large=True)

    def test_reset(self):
        self.reset_after_disorder(large=False)
        self.reset_after_disorder(large=True)

    def test_tput_colours(self):
        self.colours(large=False)
        self.colours(large=True)
