# Everyday programs in the real window: a home with minimal start-up files for them, the two window
# sizes each one runs at, and reading a full screen back from a screenshot (the colour that fills a
# cell, whether a glyph is drawn in it, the ink pattern of a row), with waits on what the screen shows.
import os
import shutil
import tempfile
from collections import Counter

from . import cells
from .case import DesktopCase
from .home import FULL_BLOCK
from .sizing import measure_cells, resize_window, stty_size
from .waiting import ConditionTimeout, wait_until

# The terminal's named colours (engine/Palette.h) at opacity 1, and what inverse video shows.
BLACK = (0, 0, 0)
RED = (255, 69, 58)
GREEN = (50, 215, 75)
YELLOW = (255, 214, 10)
BLUE = (10, 132, 255)
MAGENTA = (191, 90, 242)
CYAN = (90, 200, 250)
WHITE = (255, 255, 255)
ANSI = (BLACK, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE)
GLASS = cells.DEFAULT_GLASS  # no background: the opaque glass
TEXT = cells.TEXT_COLOR  # the default text colour; an inverse cell's background

LARGE_SIZE = (1100, 800)

RC_FILES = {
    ".vimrc": "set nocompatible hlsearch incsearch laststatus=2 viminfo= noswapfile\n",
    ".zshrc": ("PROMPT='$ '\n"
               "precmd() { __e2e_prompts=$((__e2e_prompts+1)); echo $__e2e_prompts > ~/.e2e-prompts }\n"
               "echo $$ > ~/.e2e-shell-pid\n"),
    # fish leaves the window's title alone (the harness finds the window by it).
    ".config/fish/config.fish": ("set -g fish_greeting\n"
                                 "function fish_title; end\n"
                                 "set -g __e2e_prompts 0\n"
                                 "function fish_prompt\n"
                                 # seconds since boot, the clock of a process's start time
                                 "    test -e ~/.e2e-first-prompt; or cat /proc/uptime > ~/.e2e-first-prompt\n"
                                 "    set -g __e2e_prompts (math $__e2e_prompts + 1)\n"
                                 "    echo $__e2e_prompts > ~/.e2e-prompts\n"
                                 "    echo -n '$ '\n"
                                 "end\n"
                                 "echo $fish_pid > ~/.e2e-shell-pid\n"),
    ".gitconfig": "[user]\n\tname = E2E\n\temail = e2e@example.org\n[init]\n\tdefaultBranch = main\n",
}


def numbered_line(n):
    """Line n of a long test file: its length tells the lines apart on the screen; every tenth line
    ends in a search hit."""
    return f"{n:03d} " + "x" * (n % 23) + (" needle" if n % 10 == 0 else "")


NUMBERED_FILE = "".join(numbered_line(n) + "\n" for n in range(1, 301))


def needle_cells(n):
    """The columns of the search hit at the end of numbered line n."""
    return range(len(numbered_line(n)) - len("needle"), len(numbered_line(n)))


def near(pixel, colour, tolerance=24):
    return cells.distance(pixel, colour) <= tolerance


class Screen:
    """One screenshot of the window read as cells of the calibrated grid."""

    def __init__(self, app, image):
        self.app, self.image, self.grid = app, image, app.grid
        self.glass = app.glass(image)

    def _pixels(self, row, column):
        top, _ = self.grid.row_span(row)
        left, right = self.grid.column_span(column)
        return [self.image.pixel(x, y) for y in range(top + 1, top + self.grid.band - 1)
                for x in range(left + 1, right - 1)]

    def colour(self, row, column):
        """The colour most of the cell shows: its background, unless a glyph fills it."""
        return Counter(self._pixels(row, column)).most_common(1)[0][0]

    def glyph(self, row, column):
        """True when something is drawn over the cell's background."""
        pixels = self._pixels(row, column)
        fill = Counter(pixels).most_common(1)[0][0]
        return any(cells.distance(p, fill) >= 120 for p in pixels)

    def filled(self, row, columns, colour, tolerance=24):
        """True when every cell of columns is filled with colour."""
        return all(near(self.colour(row, c), colour, tolerance) for c in columns)

    def shape(self, row, columns):
        """'#' for a cell with ink brighter than the glass, '.' for one without, over columns cells."""
        return self.app.row_shape(self.image, row, columns)

    def shows(self, row, text, at=0, skip_cursor=False):
        """True when row shows the ink pattern of text from column at, blank after it for a while
        (but for the cell after it, with skip_cursor, where the cursor is)."""
        shape = self.shape(row, at + len(text) + 6)
        if skip_cursor:
            shape = shape[:at + len(text)] + "?" + shape[at + len(text) + 1:]
        return cells.matches(shape, cells.shape_of(text), at)

    def ink_pixels(self, row, columns):
        """How many pixels of the cells are at least halfway from the glass to the text colour."""
        threshold = (cells.luma(GLASS) + cells.luma(TEXT)) / 2
        return sum(cells.luma(p) >= threshold for c in columns for p in self._pixels(row, c))

    def underlined(self, row, columns):
        """True when one pixel row within the row's pitch is ink across all of the cells."""
        top, _ = self.grid.row_span(row)
        left, right = self.grid.column_span(columns[0])[0] + 1, self.grid.column_span(columns[-1])[1] - 1
        threshold = (cells.luma(GLASS) + cells.luma(TEXT)) / 2
        return any(all(cells.luma(self.image.pixel(x, y)) >= threshold for x in range(left, right))
                   for y in range(top, top + int(self.grid.pitch)))

    def cursor_at(self, row, column):
        """The block cursor (grey 0.72 over default text) fills the cell."""
        return near(self.colour(row, column), cells.CURSOR_GREY, 30)


class ProgramCase(DesktopCase):
    """One program per test method, run twice: at the window's first size, and once more in a window
    made larger while the program runs, which must redraw to it."""

    shell = "/bin/bash"
    settings = {}  # changes to the default settings the program's window starts with
    rc_additions = {}  # text appended to the home's start-up files, by name

    def setUp(self):
        super().setUp()
        self.launch_program_home()
        # The calibration bars two rows apart give the pitch to half a pixel, which is rows off at
        # the bottom of a large window; the comb over the whole screen gives it to a few hundredths.
        self.metrics = measure_cells(self.app)
        geometry = self.app.geometry()
        self.default_size = (geometry.width, geometry.height)
        self.sizes = {self.default_size: stty_size(self.app, ".e2e-size")}
        resize_window(self.app, *LARGE_SIZE)
        self.sizes[LARGE_SIZE] = stty_size(self.app, ".e2e-size-large")

    def launch_program_home(self):
        """The program with a fresh home holding the programs' start-up files."""
        home = self.new_home()
        for name, text in RC_FILES.items():
            home.write(name, text)
        for name, text in self.rc_additions.items():
            home.write(name, text, mode="a")
        home.write_config(**self.settings)  # opaque glass, so every colour on the screen is exact
        # Sockets and pipes (tmux's, fish's) in a folder of their own, outside the work folder that
        # is copied when a case fails.
        sockets = tempfile.mkdtemp(prefix="vitrion-programs-")
        self.addCleanup(shutil.rmtree, sockets, ignore_errors=True)
        self.app = self.launch(home, shell=self.shell, TMUX_TMPDIR=sockets, XDG_RUNTIME_DIR=sockets,
                               LESSHISTFILE="-", GIT_CONFIG_NOSYSTEM="1", **self.program_env())
        return self.app

    def program_env(self):
        """More environment for the program (a case's own session bus, say)."""
        return {}

    def at_both_sizes(self):
        """Runs the case's scenario(large) at the first size, then in a window grown under it."""
        self.scenario(large=False)
        self.scenario(large=True)

    def screen(self):
        return Screen(self.app, self.app.capture())

    def wait_screen(self, predicate, what, timeout=20):
        """The first screenshot on which predicate(screen) holds."""
        seen = {}

        def shown():
            seen["screen"] = screen = self.screen()
            return predicate(screen) and screen

        try:
            return wait_until(shown, timeout, what, interval=0.1)
        except ConditionTimeout:
            if "screen" in seen:
                self.save_image(seen["screen"].image, "timeout")
            raise

    def start(self, command, ready, large=False):
        """Clears the screen to the calibration bars, runs command, waits until ready(screen, rows,
        columns) holds at the first size and, when large, again once the window has grown. Returns
        (rows, columns) the program runs at."""
        app = self.app
        self.fresh_screen(large=False)
        self.command_line, self.prompts_before = command, app.prompts()
        app.type(command)
        app.key("Return")
        size = self.sizes[self.default_size]
        self.wait_screen(lambda s: ready(s, *size), f"{command!r} to be drawn at {size}")
        if large:
            resize_window(app, *LARGE_SIZE)
            size = self.sizes[LARGE_SIZE]
            self.wait_screen(lambda s: ready(s, *size), f"{command!r} to redraw at {size}")
        return size

    def fresh_screen(self, large):
        """The window at the first or the large size, the screen cleared to the calibration bars;
        returns (rows, columns)."""
        size = LARGE_SIZE if large else self.default_size
        if self.app.geometry().width != size[0]:
            resize_window(self.app, *size)
        self.app.calibrate()
        self.app.grid.pitch, self.app.grid.advance = self.metrics.pitch, self.metrics.advance
        return self.sizes[size]

    def assert_screen_back(self, timeout=20):
        """After the program quits: the next prompt, and the bars and command line that were on the
        screen before it started, on the rows they held."""
        self.app.wait_for_prompt(self.prompts_before, timeout)
        bar = FULL_BLOCK * 40
        self.wait_screen(lambda s: s.shows(0, bar) and not any(c == "#" for c in s.shape(1, 60))
                         and s.shows(2, bar) and s.shows(3, "$ " + self.command_line),
                         "the screen from before the program to be back")

    def pointer_to(self, row, column):
        """Moves the pointer to the middle of a cell."""
        g = self.app.geometry()
        left, right = self.app.grid.column_span(column)
        top, bottom = self.app.grid.row_span(row)
        x, y = str(g.x + (left + right) // 2), str(g.y + (top + bottom) // 2)
        # xdotool's --sync waits for a motion that never comes when the pointer is there already.
        if f"X={x}\nY={y}\n" not in self.app.xdo("getmouselocation", "--shell").stdout:
            self.app.xdo("mousemove", "--sync", x, y)

    def wait_file(self, name, expected, timeout=20):
        text = self.app.wait_for_file(name, lambda t: t == expected, timeout=timeout,
                                      what=f"{name} to hold {expected!r}")
        self.assertEqual(text, expected)

    def home_file(self, name):
        return self.app.home.file(name)

    def remove(self, name):
        if os.path.exists(self.home_file(name)):
            os.unlink(self.home_file(name))
