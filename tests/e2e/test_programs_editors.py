# Editors in the real window: vim (scrolling, a split, visual mode and search drawn as cell
# backgrounds, writing the file) and nano (its inverse bars, editing and writing), each at the first
# window size and in a window grown while it runs.
from vitrion_e2e.programs import GLASS, NUMBERED_FILE, TEXT, YELLOW, ProgramCase, needle_cells
from vitrion_e2e.programs import numbered_line as line

VISUAL_GREY = (108, 108, 108)  # vim's Visual on a dark background: grey 242 of the 256 colours


class VimTest(ProgramCase):
    def scenario(self, large):
        app = self.app
        app.home.write("long.txt", NUMBERED_FILE)

        def opened(s, rows, columns):
            # The status line spans the row above the command line, to the last column.
            return s.shows(0, line(1)) and s.filled(rows - 2, (0, columns // 2, columns - 1), TEXT)

        rows, columns = self.start("vim long.txt", opened, large)
        text_rows = rows - 2
        half = text_rows // 2
        app.key("ctrl+d")
        self.wait_screen(lambda s: s.shows(0, line(1 + half)), "Ctrl-D to scroll half a screen")
        app.key("ctrl+y", "ctrl+y", "ctrl+y")
        self.wait_screen(lambda s: s.shows(0, line(half - 2)) and s.shows(2, line(half)),
                         "Ctrl-Y to scroll back three lines")

        app.type(":split")
        app.key("Return")
        app.type("gg")

        def status_rows(s):
            return [r for r in range(rows) if s.filled(r, (0, columns - 1), TEXT)]

        split = self.wait_screen(lambda s: len(status_rows(s)) == 2 and s.shows(0, line(1)), "the split")
        upper_status = status_rows(split)[0]
        self.assertEqual(status_rows(split)[1], rows - 2)
        lower_top = upper_status + 1
        # vim keeps the cursor's line (1 + half) in view in the lower window.
        first = next((n for n in range(1, 1 + half) if split.shows(lower_top, line(n))), None)
        self.assertIsNotNone(first, "the lower window shows the file from one of the lines above the cursor")

        app.key("shift+v", "j", "j")
        visual = self.wait_screen(lambda s: s.filled(1, range(0, len(line(2))), VISUAL_GREY),
                                  "visual mode to highlight lines 1 to 3")
        for row in range(3):  # from the second column: the cursor is on the third row's first
            self.assertTrue(visual.filled(row, range(1, len(line(row + 1))), VISUAL_GREY), f"row {row}")
        self.assertTrue(visual.filled(3, range(0, len(line(4))), GLASS), "no highlight under line 4")
        app.key("Escape")

        app.type("/needle")
        app.key("Return")
        lower_lines = range(first, first + rows - 2 - lower_top)
        hits = [(n - 1, n) for n in range(10, upper_status + 1, 10)]
        hits += [(lower_top + n - first, n) for n in lower_lines if n % 10 == 0]

        # The cursor sits on the first hit's first cell; the rest of it and every other hit is yellow.
        found = self.wait_screen(lambda s: all(s.filled(row, needle_cells(n)[1:], YELLOW) for row, n in hits),
                                 f"the search hits to be highlighted (row, line) {hits}")
        hit = needle_cells(10)
        self.assertTrue(found.filled(9, range(0, hit[0] - 1), GLASS))
        self.assertTrue(found.glyph(9, hit[2]), "the hit's text is drawn over its background")

        app.type("ggddGoThe end.")
        app.key("Escape")
        app.type(":wqa")
        app.key("Return")
        self.assert_screen_back()
        expected = "".join(line(n) + "\n" for n in range(2, 301)) + "The end.\n"
        self.wait_file("long.txt", expected)

    def test_vim(self):
        self.at_both_sizes()


class NanoTest(ProgramCase):
    def scenario(self, large):
        app = self.app
        app.home.write("notes.txt", "alpha\nbeta\n")

        def opened(s, rows, columns):
            # The title bar spans the first row; each shortcut's key is inverse in the two last rows.
            return (s.filled(0, (0, columns // 2, columns - 1), TEXT) and s.shows(1, "alpha")
                    and all(s.filled(r, (0, 1), TEXT) and s.filled(r, (2,), GLASS) for r in (rows - 2, rows - 1)))

        self.start("nano notes.txt", opened, large)
        app.type("Hello, ")
        app.key("Down", "End")
        app.type(" gamma")
        self.wait_screen(lambda s: s.shows(1, "Hello, alpha") and s.shows(2, "beta gamma", skip_cursor=True),
                         "the edits to be drawn")
        app.key("ctrl+o")
        app.key("Return")
        self.wait_file("notes.txt", "Hello, alpha\nbeta gamma\n")
        app.key("ctrl+x")
        self.assert_screen_back()

    def test_nano(self):
        self.at_both_sizes()
