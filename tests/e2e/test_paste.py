# Pasting through the clipboard with Ctrl+Shift+V: a mebibyte of text reaches the shell byte for
# byte, and a pasted end-of-paste marker cannot smuggle a command past bash's bracketed paste.
import os
import random

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import file_text, read_file, wait_until

MEBIBYTE = 1 << 20


def paste_text(size, seed=7):
    """Printable ASCII and tabs in lines of 1 to 200 characters (a pty in line mode cuts lines at
    4095), with CR LF and lone CR line ends among the LFs."""
    rng = random.Random(seed)
    alphabet = "".join(chr(c) for c in range(0x20, 0x7F)) + "\t"
    parts, total = [], 0
    while total < size:
        line = "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 200)))
        ending = rng.choice(("\n", "\n", "\n", "\r\n", "\r"))
        parts.append(line + ending)
        total += len(line) + len(ending)
    return "".join(parts)


def normalized(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")


class PasteTest(DesktopCase):
    def test_a_mebibyte_of_text_arrives_byte_for_byte(self):
        app = self.launch()
        text = paste_text(MEBIBYTE)
        source = app.home.file("paste-source.txt")
        with open(source, "w", newline="") as f:
            f.write(text)  # keep the CRs as they are
        app.set_clipboard(source)
        app.type("cat > pasted.txt")
        app.key("Return")
        expected = normalized(text).encode()
        path = app.home.file("pasted.txt")
        wait_until(lambda: os.path.exists(path), 20, "cat to create pasted.txt")
        app.key("ctrl+shift+v")

        def grown():
            size = os.path.getsize(path)
            return size >= len(expected) or None

        # The echo of the whole paste is drawn as it goes; allow for a slow, shared machine.
        wait_until(grown, 240, f"pasted.txt to reach {len(expected)} bytes", interval=0.5)
        before = app.prompts()
        app.key("ctrl+d")
        app.wait_for_prompt(before, timeout=60)
        got = read_file(path)
        if got != expected:
            at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
            self.fail(f"pasted.txt differs from the clipboard at byte {at} of {len(expected)} "
                      f"(got {len(got)} bytes): {got[at:at + 40]!r} instead of {expected[at:at + 40]!r}")

    def test_a_pasted_end_marker_does_not_run_what_follows(self):
        app = self.launch()
        source = app.home.file("paste-source.txt")
        with open(source, "w") as f:
            f.write("echo pasted\x1b[201~; touch injected.txt\n")
        app.set_clipboard(source)
        app.key("ctrl+shift+v")
        # Bash keeps a bracketed paste on the command line, newline and all, until Return; Ctrl+C
        # throws it away. Had the marker ended the bracket, the rest would have run as typed.
        app.key("ctrl+c")
        app.command("echo checked > checked.txt")
        app.wait_for_file("checked.txt")
        self.assertFalse(os.path.exists(app.home.file("injected.txt")), "the pasted command ran")
        history = file_text(app.home.file(".e2e-history")) or ""
        self.assertNotIn("injected", history)
