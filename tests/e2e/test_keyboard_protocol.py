# The keyboard protocol in the real window: a program that pushes flags hears Shift+Enter, Ctrl+I,
# Tab, Escape and Ctrl+[ as different keys, and releases as such; once it pops them, the shell gets
# the legacy keys again.
import os

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import wait_until

REPORTER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "programs", "key_report.py")


def file_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


class KeyboardProtocolTest(DesktopCase):
    def run_reporter(self, app, flags, keys):
        before = app.prompts()
        app.type(f"python3 {REPORTER} {flags} keys{flags}.bin")
        app.key("Return")
        path = app.home.file(f"keys{flags}.bin")
        answer = wait_until(lambda: file_bytes(path + ".ready"), 20, "the reporter to push its flags")
        self.assertEqual(answer, f"\x1b[?{flags}u".encode(), "the query answers the flags pushed")
        app.key(*keys)
        app.type("q")
        app.wait_for_prompt(before)
        return wait_until(lambda: file_bytes(path), 20, "the reporter's record")

    def test_ambiguous_keys_are_told_apart_and_releases_reported(self):
        app = self.launch()
        sent = self.run_reporter(app, 3, ["shift+Return", "ctrl+i", "Tab", "Escape", "ctrl+bracketleft", "a"])
        for code, what in [
            (b"\x1b[13;2u", "Shift+Enter"),
            (b"\x1b[105;5u", "Ctrl+I"),
            (b"\t", "Tab, as ever"),
            (b"\x1b[27u", "Escape"),
            (b"\x1b[91;5u", "Ctrl+["),
            (b"a", "a typed letter, as text"),
            (b"\x1b[97;1:3u", "the letter's release"),
        ]:
            self.assertIn(code, sent, what)
        # xdotool may let go of Control before the I: the release is reported either way.
        self.assertRegex(sent, rb"\x1b\[105;[15]:3u", "Ctrl+I's release")
        self.assertNotIn(b"\x1b[13;1:3u", sent, "Enter's release stays unsaid")

    def test_every_key_as_a_code_then_the_shell_gets_legacy_keys_back(self):
        app = self.launch()
        sent = self.run_reporter(app, 8, ["Return", "a", "shift+a"])
        for code, what in [(b"\x1b[13u", "Enter"), (b"\x1b[97u", "a"), (b"\x1b[57441;2u", "Shift alone"),
                           (b"\x1b[97;2u", "Shift+a")]:
            self.assertIn(code, sent, what)
        app.command("echo legacy > after.txt")
        self.assertEqual(app.wait_for_file("after.txt"), "legacy\n")
