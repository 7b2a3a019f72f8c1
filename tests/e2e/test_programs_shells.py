# Shells and a line-oriented finder in the real window: bash and zsh editing a line of wide CJK
# characters (the cursor lands after and on them), fish starting at once without complaint, and fzf
# under the prompt (it asks where the cursor is), each at the first window size and a larger one.
import os

from vitrion_e2e import cells
from vitrion_e2e.programs import LARGE_SIZE, ProgramCase, Screen
from vitrion_e2e.sizing import resize_window
from vitrion_e2e.waiting import wait_until

WIDE = "\u4e2d\u6587\u5b57"  # three characters of two cells each


class LineEditing:
    """Types a command with wide characters on the prompt row (3), moves over them and edits them."""

    def scenario(self, large):
        app = self.app
        self.fresh_screen(large)
        self.remove("cjk.txt")
        before = app.prompts()
        prompt = len("$ echo ")

        def line(text, column, width=1):
            """Row 3 shows "$ echo " and text (W for a wide character's two cells) and the cursor
            covers width cells from column, no more."""
            expected = cells.shape_of("$ echo " + text).ljust(prompt + 10, ".")
            cursor = range(column, column + width)

            def shown(s):
                seen = "".join("?" if c in cursor else ch for c, ch in enumerate(s.shape(3, len(expected))))
                return (all(s.cursor_at(3, c) for c in cursor) and not s.cursor_at(3, column - 1)
                        and not s.cursor_at(3, column + width) and cells.matches(seen, expected))

            self.wait_screen(shown, f"{text!r} with the cursor on {width} cell(s) from column {column}")

        app.type("echo ")
        # Pasted: xdotool types a character the keymap lacks by mapping it to a spare key code and
        # back, and the key event is sometimes read with the mapping already gone.
        app.set_clipboard(app.home.write("wide.txt", WIDE))
        app.key("ctrl+shift+v")
        line("WWWWWW", prompt + 6)
        app.key("Left")
        line("WWWWWW", prompt + 4, width=2)
        app.key("BackSpace")
        line("WWWW", prompt + 2, width=2)
        app.type("ab")
        line("WWabWW", prompt + 4, width=2)
        app.key("End")
        line("WWabWW", prompt + 6)
        app.type(" > cjk.txt")
        app.key("Return")
        app.wait_for_prompt(before)
        self.wait_file("cjk.txt", "\u4e2dab\u5b57\n")

    def test_line_editing(self):
        self.at_both_sizes()


class BashTest(LineEditing, ProgramCase):
    shell = "/bin/bash"


class ZshTest(LineEditing, ProgramCase):
    shell = "/bin/zsh"


class FishTest(ProgramCase):
    shell = "/usr/bin/fish"

    def setUp(self):
        super(ProgramCase, self).setUp()  # the shell's start is the case: nothing typed before it

    def test_starts_at_once_and_quietly(self):
        app = self.launch_program_home()
        first = float(app.wait_for_file(".e2e-first-prompt", what="fish's first prompt").split()[0])
        with open(f"/proc/{app.shell_pid()}/stat") as f:
            started = int(f.read().rsplit(")", 1)[1].split()[19]) / os.sysconf("SC_CLK_TCK")
        self.assertLess(first - started, 1.0, "from fish's start to its first prompt, in seconds")
        # Nothing but the prompt: no warning about the terminal's answers. The grid is measured
        # after the screenshot, as measuring clears the screen.
        image = wait_until(lambda: (lambda i: any(cells.luma(i.pixel(x, y)) > 150 for y in range(40, 80, 2)
                                                  for x in range(24, 60)) and i)(app.capture()), 10, "the prompt")
        app.calibrate()
        screen = Screen(app, image)
        self.assertTrue(screen.shows(0, "$ ", skip_cursor=True), screen.shape(0, 40))
        self.assertEqual([screen.shape(row, 80) for row in range(1, 24)], ["." * 80] * 23)

        resize_window(app, *LARGE_SIZE)
        app.command("stty size > size.txt")
        rows, columns = map(int, app.wait_for_file("size.txt").split())
        self.assertTrue(rows > 30 and columns > 120, f"fish sees {rows} x {columns} in the larger window")


class FzfTest(ProgramCase):
    def scenario(self, large):
        app = self.app
        self.remove("choice.txt")

        def prompt_row(s, rows):
            # fzf draws under the cursor's row (which it asks for), its prompt at the bottom of 40%
            # of the rows; the rows above are left alone.
            row = next((r for r in range(4, rows) if s.cursor_at(r, 2) and s.glyph(r, 0)), None)
            return row if row is not None and 0.35 * rows <= row - 3 <= 0.45 * rows else None

        def shown(s, rows, columns):
            return prompt_row(s, rows) is not None and s.shows(3, "$ " + self.command_line)

        rows, _ = self.start("seq 1000 | fzf --height 40% > choice.txt", shown, large)
        row = prompt_row(self.screen(), rows)
        app.type("777")
        # The one match under the pointer, above the count and its rule.
        self.wait_screen(lambda s: s.glyph(row, 0) and s.shows(row, "777", at=2, skip_cursor=True)
                         and s.glyph(row - 2, 0) and s.shows(row - 2, "777", at=2),
                         "the query to filter the list")
        app.key("Return")
        self.wait_file("choice.txt", "777\n")
        self.assert_screen_back()

    def test_fzf(self):
        self.at_both_sizes()
