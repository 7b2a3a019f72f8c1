# Pagers in the real window: less (paging, the wheel, a search hit in inverse), man (bold and
# underline drawn, a search hit) and git log through its pager (colours), each at the first window
# size and in a window grown while it runs. less and man leave the screen as it was.
import os
import subprocess

from vitrion_e2e.programs import CYAN, GREEN, NUMBERED_FILE, TEXT, YELLOW, ProgramCase, near, needle_cells
from vitrion_e2e.programs import numbered_line as line

MAN_PAGE = """.TH DEMO 1
.SH NAME
demo \\- a page for the terminal
.SH DESCRIPTION
.B Heavy
Heavy
.PP
.I Under
Under
"""


def prompt_shown(s, rows):
    """less's prompt on the last row: the file's name in inverse, or a colon after a redraw."""
    return s.shape(rows - 1, 1) == "#"


class LessTest(ProgramCase):
    def scenario(self, large):
        app = self.app
        app.home.write("long.txt", NUMBERED_FILE)
        rows, _ = self.start("less long.txt", lambda s, rows, columns: s.shows(0, line(1)) and s.shows(
            rows - 2, line(rows - 1)) and prompt_shown(s, rows), large)

        def top_is(n, what):
            self.wait_screen(lambda s: s.shows(0, line(n)) and s.shows(rows - 2, line(n + rows - 2)), what)

        app.key("space")
        top_is(rows, "Space to show the next page")
        app.key("b")
        top_is(1, "b to go back a page")
        self.pointer_to(5, 20)
        app.xdo("click", "--repeat", "2", "--delay", "50", "5")
        top_is(7, "two notches of the wheel to scroll six lines down")
        app.xdo("click", "4")
        top_is(4, "a notch up to scroll three lines back")

        app.type("/needle")
        app.key("Return")
        # The first hit after the top line goes to the top; every hit on the screen is inverse.
        self.wait_screen(lambda s: s.shows(0, line(10)) and s.filled(0, needle_cells(10), TEXT)
                         and s.filled(10, needle_cells(20), TEXT), "the search hits in inverse")
        app.type("q")
        self.assert_screen_back()

    def test_less(self):
        self.at_both_sizes()


class ManTest(ProgramCase):
    def scenario(self, large):
        app = self.app
        app.home.write("demo.1", MAN_PAGE)
        # "Heavy Heavy" and "Under Under" at the page's indent, the first word of each bold or
        # underlined. A page shorter than the screen is written from the cursor's row down, as in
        # xterm; after a redraw it starts at the top.
        def page_row(s):
            return next((r for r in range(20) if s.shows(r, "Heavy Heavy", at=7)
                         and s.shows(r + 2, "Under Under", at=7)), None)

        def shown(s, rows, columns):
            row = page_row(s)  # the prompt follows the page or, after a redraw, ends the screen
            return row is not None and (prompt_shown(s, rows) or s.filled(row + 5, (0, 1), TEXT))

        self.start("man ./demo.1", shown, large)
        page = self.wait_screen(lambda s: page_row(s) in ((6,) if large else (10,)), "the page where it belongs")
        row = page_row(page)
        bold, plain = page.ink_pixels(row, range(7, 12)), page.ink_pixels(row, range(13, 18))
        self.assertGreater(bold, 1.15 * plain, "the bold word has heavier strokes")
        self.assertTrue(page.underlined(row + 2, range(7, 12)), "the underlined word")
        self.assertFalse(page.underlined(row + 2, range(13, 18)), "the plain word")

        app.type("/Under")
        app.key("Return")
        self.wait_screen(lambda s: s.shows(0, "Under Under", at=7) and s.filled(0, range(13, 18), TEXT),
                         "the search hit on the top row in inverse")
        app.type("q")
        self.assert_screen_back()

    def test_man(self):
        self.at_both_sizes()


class GitLogTest(ProgramCase):
    COMMITS = 30

    def make_repository(self):
        repo = self.home_file("repo")
        if os.path.exists(repo):
            return
        env = dict(os.environ, HOME=self.app.home.path, GIT_CONFIG_NOSYSTEM="1",
                   GIT_AUTHOR_DATE="2024-01-01T12:00:00Z", GIT_COMMITTER_DATE="2024-01-01T12:00:00Z")
        subprocess.run(["git", "init", "-q", repo], env=env, check=True)
        for n in range(self.COMMITS):
            subprocess.run(["git", "-C", repo, "commit", "-q", "--allow-empty", "-m", f"change {n}"], env=env,
                           check=True)

    def scenario(self, large):
        app = self.app
        self.make_repository()
        # git's pager keeps to the primary screen, which scrolls: the history's last line shows
        # above the screen, so the commits are found by their colour, not by row number.
        rows, _ = self.start("git -C repo log", lambda s, rows, columns: len(commit_lines(s)) >= 3, large)
        first = self.wait_screen(lambda s: len(commit_lines(s)) >= 3 and has_colour(s, commit_lines(s)[0], CYAN)
                                 and has_colour(s, commit_lines(s)[0], GREEN), "the branch decorations")
        pitch = app.grid.pitch
        app.key("space")
        # Six lines a commit: after a page of rows - 1 lines the first commit is that many rows down.
        down = -(rows - 1) % 6
        expected = commit_lines(first)[0] + down * pitch
        self.wait_screen(lambda s: (lambda tops: tops and abs(tops[0] - expected) <= 3)(commit_lines(s)),
                         f"the next page (commits {down} rows lower)")
        app.type("q")
        app.wait_for_prompt(self.prompts_before)

    def test_git_log(self):
        self.at_both_sizes()


def text_lines(s, colour, first, last):
    """The tops of the runs of pixel rows that show colour between columns first and last."""
    left, right = s.grid.column_span(first)[0], s.grid.column_span(last)[1]
    ys = [y for y in range(s.glass.y, s.glass.bottom)
          if any(near(s.image.pixel(x, y), colour) for x in range(left, right))]
    return [y for i, y in enumerate(ys) if i == 0 or ys[i - 1] != y - 1]


def commit_lines(s):
    """The tops of the "commit <hash>" lines: yellow, six lines apart, the author's line under each in
    the text colour."""
    tops = text_lines(s, YELLOW, 0, 5)
    authors = text_lines(s, TEXT, 0, 5)
    pitch = s.grid.pitch
    if any(abs(b - a - 6 * pitch) > 3 for a, b in zip(tops, tops[1:])):
        return []
    return [y for y in tops if any(abs(a - y - pitch) <= 3 for a in authors)]


def has_colour(s, top, colour):
    """True when the text line at pixel row top shows colour somewhere in its first 70 cells."""
    left, right = s.grid.column_span(0)[0], s.grid.column_span(69)[1]
    return any(near(s.image.pixel(x, y), colour) for y in range(top, top + s.grid.band) for x in range(left, right, 2))
