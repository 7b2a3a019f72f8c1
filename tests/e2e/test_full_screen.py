# Full-screen programs driven with the real pointer: vim with the mouse on moves its cursor to the
# clicked cell, and the wheel scrolls less on the alternate screen (as cursor keys). Each program
# tells what it did through a file it writes, not through pixels.
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import file_text, wait_until

LINES = 200


class FullScreenTest(DesktopCase):
    def setUp(self):
        super().setUp()
        self.app = self.launch()
        self.app.calibrate()  # rows 0 to 2 hold the bars, and the screen's top is the view's
        self.app.home.write("lines.txt", "".join(f"{n:04d} {'x' * 35}\n" for n in range(1, LINES + 1)))

    def pointer_to(self, column, row):
        """Moves the pointer to the middle of a screen cell (counted from the screen's top)."""
        g = self.app.geometry()
        left, right = self.app.grid.column_span(column)
        top, bottom = self.app.grid.row_span(row)
        self.app.xdo("mousemove", "--sync", str(g.x + (left + right) // 2), str(g.y + (top + bottom) // 2))

    def test_a_click_moves_vims_cursor(self):
        app = self.app
        before = app.prompts()
        # F5 writes where the cursor is without leaving the text (a command line would move the
        # cursor to the bottom row, and the view with it).
        app.type("vim -u NONE -i NONE -N -c 'set mouse=a' -c 'nnoremap <F5> <Cmd>call writefile("
                 "[line(\".\") . \" \" . col(\".\")], \"cursor.txt\")<CR>' lines.txt")
        app.key("Return")
        # vim switches its mouse mode on as it starts up: a click made too early goes nowhere, so
        # click, ask where the cursor is, and click again until the answer comes back right.
        self.pointer_to(10, 5)

        def cursor_moved():
            app.xdo("click", "1")
            app.key("F5")
            return file_text(app.home.file("cursor.txt")) == "6 11\n"

        wait_until(cursor_moved, 30, "vim's cursor to move to line 6, column 11 on a click", interval=0.5)
        app.type(":q")
        app.key("Return")
        app.wait_for_prompt(before)

    def test_the_wheel_scrolls_less(self):
        app = self.app
        before = app.prompts()
        app.type("less lines.txt")
        app.key("Return")

        def top_line(name):
            # less pipes the screen's first line to a command: | . command Return, then Return.
            app.type(f"|.head -1 > {name}")
            app.key("Return")
            text = wait_until(lambda: file_text(app.home.file(name)), 20, f"less to write {name}")
            app.key("Return")
            return text.split()[0]

        self.assertEqual(top_line("top0.txt"), "0001")
        self.pointer_to(20, 5)
        app.xdo("click", "--repeat", "2", "--delay", "50", "5")  # two notches down
        self.assertEqual(top_line("top1.txt"), "0007")  # three lines a notch
        app.xdo("click", "4")
        self.assertEqual(top_line("top2.txt"), "0004")
        app.type("q")
        app.wait_for_prompt(before)
