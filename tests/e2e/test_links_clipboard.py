# Links and programs' clipboard writes in the real window: Ctrl+click on a printed URL and on an
# OSC 8 link reaches the desktop's handler (a stand-in xdg-open on the PATH that records what it is
# given), a javascript: link never does; an OSC 52 write is readable with xclip, and with the
# setting off it is not.
import base64
import os
import subprocess

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import file_text, wait_until

XDG_OPEN = """#!/bin/sh
# Stand-in for the desktop's opener: records each URL it is asked to open.
printf '%s\\n' "$@" >> "$HOME/opened.txt"
"""

# Rows 4 and 6 of the screen (below the calibration bars): a plain URL, then an OSC 8 link whose
# text differs from its target, and a javascript: link.
LINKS = ("printf '\\033[5;1Hsee https://example.com/plain?q=1 now\\n"
         "\\033[7;1H\\033]8;;https://osc8.example/target\\033\\\\click me\\033]8;;\\033\\\\ "
         "\\033]8;;javascript:alert(1)\\033\\\\evil link\\033]8;;\\033\\\\\\n\\033[9;1H'\n")


class LinksTest(DesktopCase):
    def setUp(self):
        super().setUp()
        home = self.new_home()
        bin_dir = os.path.join(home.path, "bin")
        home.write("bin/xdg-open", XDG_OPEN)
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        home.write("links", LINKS)
        self.app = self.launch(home=home, PATH=bin_dir + ":" + os.environ.get("PATH", "/usr/bin:/bin"))
        self.app.calibrate()  # rows 0 to 2 hold the bars, and the screen's top is the view's

    def ctrl_click(self, row, column, shift=False):
        g = self.app.geometry()
        left, right = self.app.grid.column_span(column)
        top, bottom = self.app.grid.row_span(row)
        self.app.xdo("mousemove", "--sync", str(g.x + (left + right) // 2), str(g.y + (top + bottom) // 2))
        keys = ["ctrl", "shift"] if shift else ["ctrl"]
        self.app.xdo("keydown", *keys)
        self.app.xdo("click", "1")
        self.app.xdo("keyup", *reversed(keys))

    def opened(self):
        return (file_text(self.app.home.file("opened.txt")) or "").splitlines()

    def test_ctrl_click_opens_safe_links_only(self):
        app = self.app
        app.command("sh links")
        app.wait_for_row(4, "see https://example.com/plain?q=1 now")
        self.ctrl_click(4, 12)
        wait_until(lambda: self.opened() == ["https://example.com/plain?q=1"], 20, "the plain URL to be opened")
        self.ctrl_click(6, 3)
        wait_until(lambda: len(self.opened()) == 2, 20, "the OSC 8 link to be opened")
        self.assertEqual(self.opened()[1], "https://osc8.example/target")
        # A javascript: link and a plain click open nothing: the next URL opened is the one
        # Ctrl+clicked after them.
        self.ctrl_click(6, 12)
        g = app.geometry()
        left, _ = app.grid.column_span(14)
        top, _ = app.grid.row_span(4)
        app.xdo("mousemove", "--sync", str(g.x + left + 2), str(g.y + top + 2))
        app.xdo("click", "1")
        self.ctrl_click(6, 3)
        wait_until(lambda: len(self.opened()) >= 3, 20, "the OSC 8 link to be opened again")
        self.assertEqual(self.opened()[2:], ["https://osc8.example/target"])


class ClipboardTest(DesktopCase):
    def clipboard(self, app, selection="clipboard"):
        out = subprocess.run(["xclip", "-o", "-selection", selection], env=app.env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, timeout=10)
        return out.stdout if out.returncode == 0 else None

    def write_from_program(self, app, target, text):
        encoded = base64.b64encode(text.encode()).decode()
        app.command(f"printf '\\033]52;{target};{encoded}\\a'")

    def test_a_programs_write_reaches_the_clipboard_and_the_primary_selection(self):
        app = self.launch()
        self.write_from_program(app, "c", "copied by a program \u00e9")
        wait_until(lambda: self.clipboard(app) == "copied by a program \u00e9", 20, "xclip to read the write")
        self.write_from_program(app, "p", "primary text")
        wait_until(lambda: self.clipboard(app, "primary") == "primary text", 20, "the primary selection")
        self.assertEqual(self.clipboard(app), "copied by a program \u00e9")

    def test_with_the_setting_off_the_clipboard_is_left_alone(self):
        home = self.new_home()
        home.write_config(allowClipboardWrites=False)
        app = self.launch(home=home)
        app.calibrate()
        # Text drawn after the write in the same output shows that the write has been handled.
        encoded = base64.b64encode(b"must not arrive").decode()
        app.command(f"printf '\\033]52;c;{encoded}\\a\\033[6;1Hafter the write\\n'")
        app.wait_for_row(5, "after the write")
        self.assertNotEqual(self.clipboard(app), "must not arrive")
