# The harness checked against its own stand-in window (probe/ProbeWindow.cpp): keys, clipboard,
# window size, screenshots through the compositor and the clean-up of every process. A failure
# here is a broken desktop stack, not a fault of the program.
import os

from vitrion_e2e import cells
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.processes import descendants_of
from vitrion_e2e.waiting import file_text, wait_until
from vitrion_e2e.xstack import BAND_HEIGHT

PROBE = os.environ.get("VITRION_E2E_PROBE", "")
QT_KEY_HOME, QT_KEY_COMMA, QT_KEY_LESS = 0x01000010, 0x2C, 0x3C
QT_SHIFT, QT_CONTROL = 0x02000000, 0x04000000


class HarnessTest(DesktopCase):
    @classmethod
    def program(cls):
        return PROBE

    def launch_probe(self, alpha=128):
        return self.launch(wait_for_shell=False, PROBE_ALPHA=str(alpha))

    def test_keys_reach_a_qt_window_through_xtest(self):
        probe = self.launch_probe()
        probe.focus()
        probe.type("echo ok > out.txt")
        probe.key("Return", "ctrl+c", "ctrl+shift+comma", "Home")

        def recorded():
            events = []
            for line in (file_text(probe.home.file("probe-keys.txt")) or "").splitlines():
                fields = dict(part.split("=", 1) for part in line.split())
                events.append((int(fields["key"]), int(fields["mods"]), bytes.fromhex(fields["text"]).decode()))
            return any(key == QT_KEY_HOME for key, _, _ in events) and events

        events = wait_until(recorded, 20, "the key presses to arrive")
        texts = [text for _, _, text in events if text]
        self.assertEqual("".join(texts[:17]), "echo ok > out.txt")
        self.assertEqual(texts[17:19], ["\r", "\x03"])
        # X reports Shift+comma as the keysym "less"; the chord still arrives with both modifiers.
        chord = [mods for key, mods, _ in events if key in (QT_KEY_COMMA, QT_KEY_LESS)]
        self.assertTrue(chord and chord[0] & QT_CONTROL and chord[0] & QT_SHIFT, events)

    def test_a_large_clipboard_arrives_whole(self):
        probe = self.launch_probe()
        probe.focus()
        text = "".join(f"line {i:06d} " + "x" * (i % 180) + "\n" for i in range(9000))
        source = probe.home.write("paste-source.txt", text)
        probe.set_clipboard(source)
        probe.key("ctrl+shift+v")
        pasted = probe.wait_for_file("probe-paste.txt", lambda t: len(t) >= len(text))
        self.assertEqual(pasted, text)

    def test_windowsize_reaches_the_client(self):
        probe = self.launch_probe()
        probe.resize(1000, 700)
        wait_until(lambda: file_text(probe.home.file("probe-size.txt")) == "1000 700\n", 15, "the probe to be resized")
        g = probe.geometry()
        self.assertEqual((g.width, g.height), (1000, 700))

    def test_translucent_glass_shows_the_root_bands_through_the_compositor(self):
        probe = self.launch_probe(alpha=128)
        image = wait_until(lambda: (lambda i: cells.find_glass(i) and i)(probe.capture()), 15, "the probe's glass")
        glass = cells.find_glass(image)
        self.assertEqual(glass.y, 28)
        self.assertEqual(glass.bottom, image.height)
        g = probe.geometry()
        bright, dark = cells.band_samples(image, g, glass, BAND_HEIGHT)
        self.assertGreater(cells.luma(bright) - cells.luma(dark), 60, (bright, dark))
        for corner in ((1, glass.y + 1), (1, glass.bottom - 2), (glass.right - 2, glass.y + 1)):
            self.assertTrue(cells.close_to(image.pixel(*corner), cells.WINDOW_COLOR, 6), image.pixel(*corner))

    def test_every_started_process_is_ended(self):
        probe = self.launch_probe()
        self.procs.stop(probe.proc)
        self.assertIsNotNone(probe.proc.poll())
        leftovers = [pid for pid in descendants_of(os.getpid())
                     if pid not in {p.pid for _, p in self.procs.entries}]
        self.assertEqual(leftovers, [])

