# The history in the real window: a hundred thousand lines of output whose first line Shift+Home,
# Shift+Page Up and the wheel reach, a long coloured line that comes back whole after the window is
# made narrower and wider again, and bash's prompt drawn once however often the window is resized.
from vitrion_e2e.home import FULL_BLOCK
from vitrion_e2e.programs import BLUE, GREEN, LARGE_SIZE, RED, ProgramCase
from vitrion_e2e.sizing import resize_window

BAR = FULL_BLOCK * 40
# 150 cells on red, green and blue backgrounds (blanks in a colour are text, never trimmed).
COLOURED_LINE = "r" * 50 + "g" * 50 + "b" * 50
COLOURS = {"r": RED, "g": GREEN, "b": BLUE}


def first_lines_row(screen, rows):
    """The row showing line 1 of `seq`, known by the nine one-digit lines before the first two-digit
    one; None when no row does."""
    for row in range(rows - 10):
        if all(screen.shows(row + k, str(k + 1)) for k in range(9)) and screen.shows(row + 9, "10"):
            return row
    return None


class HistoryTest(ProgramCase):
    settings = {"scrollbackLines": 200000}

    def test_seq_reaches_line_one_by_page_and_by_wheel(self):
        app = self.app
        rows, _ = self.fresh_screen(large=False)
        app.command("seq 1 100000")
        at_top = lambda s: first_lines_row(s, rows) is not None  # noqa: E731
        app.key("shift+Home")
        self.wait_screen(at_top, "line 1 after Shift+Home")
        # From a few pages down, Shift+Page Up and the wheel (three lines a notch) each come back to it.
        app.key(*["shift+Next"] * 3)
        self.wait_screen(lambda s: not at_top(s), "three pages down")
        app.key(*["shift+Prior"] * 4)
        self.wait_screen(at_top, "line 1 after Shift+Page Up")
        self.pointer_to(rows // 2, 10)
        app.xdo("click", "--repeat", "20", "--delay", "30", "5")
        self.wait_screen(lambda s: not at_top(s), "twenty notches down")
        app.xdo("click", "--repeat", "30", "--delay", "30", "4")
        self.wait_screen(at_top, "line 1 after the wheel")
        app.key("shift+End")
        self.wait_screen(lambda s: any(s.shows(r, "100000") and s.shows(r + 1, "$ ", skip_cursor=True)
                                       for r in range(rows - 4, rows)), "the end again after Shift+End")

    def shows_coloured_line(self, screen, columns):
        """Rows 4 on show the line cut at `columns`, each cell on its colour."""
        pieces = [COLOURED_LINE[i:i + columns] for i in range(0, len(COLOURED_LINE), columns)]
        return all(screen.filled(4 + r, range(start, start + len(run)), COLOURS[run[0]])
                   for r, piece in enumerate(pieces)
                   for start, run in ((piece.index(k), k * piece.count(k)) for k in "rgb" if k in piece))

    def test_a_long_coloured_line_survives_narrowing_and_widening(self):
        app = self.app
        self.fresh_screen(large=True)
        app.home.write("line.sh", "printf '\\033[41m%50s\\033[42m%50s\\033[44m%50s\\033[0m\\n' '' '' ''\n")
        app.command("sh line.sh")
        large = self.sizes[LARGE_SIZE][1]
        small = self.sizes[self.default_size][1]
        self.assertLess(small, large)
        self.wait_screen(lambda s: self.shows_coloured_line(s, large), f"the line in rows of {large}")
        resize_window(app, *self.default_size)
        self.wait_screen(lambda s: self.shows_coloured_line(s, small), f"the line re-wrapped at {small}")
        resize_window(app, *LARGE_SIZE)
        self.wait_screen(lambda s: self.shows_coloured_line(s, large), f"the line joined again at {large}")

    def test_bash_draws_its_prompt_once_after_resizes(self):
        app = self.app
        self.fresh_screen(large=True)
        app.command("echo one")
        for size in (self.default_size, LARGE_SIZE, self.default_size, LARGE_SIZE):
            resize_window(app, *size)
        app.command("echo two")
        self.wait_screen(lambda s: s.shows(0, BAR) and s.shows(2, BAR) and s.shows(3, "$ echo one")
                         and s.shows(4, "one") and s.shows(5, "$ echo two") and s.shows(6, "two")
                         and s.shows(7, "$ ", skip_cursor=True)
                         and not any(ch == "#" for r in range(8, 12) for ch in s.shape(r, 30)),
                         "each prompt once, in order, and nothing below")
