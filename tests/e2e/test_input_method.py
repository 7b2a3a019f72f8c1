# Typing through an input method in the real window: ibus with its Korean engine runs headless on
# the test desktop (its in-memory configuration, no panel); keys typed in Hangul mode are composed
# in the preedit and reach the shell only as committed text. Then a dead key through Qt's own
# compose support.
import os
import shutil
import subprocess
import unittest

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import file_text, wait_until

IBUS_TOOLS = ("ibus-daemon", "ibus")
IBUS_PROGRAMS = ("/usr/libexec/ibus-memconf", "/usr/libexec/ibus-engine-hangul")


class InputMethodTest(DesktopCase):
    @classmethod
    def setUpClass(cls):
        missing = [t for t in IBUS_TOOLS if shutil.which(t) is None] + \
                  [p for p in IBUS_PROGRAMS if not os.access(p, os.X_OK)]
        if missing:
            raise unittest.SkipTest("ibus is not installed: " + ", ".join(missing))
        super().setUpClass()
        home = os.path.join(cls.workdir, "ibus-home")
        os.makedirs(home)
        cls.ibus_env = cls.xstack.env(HOME=home, GSETTINGS_BACKEND="memory")
        # ibus runs its own bus and leaves its address in a file under its HOME.
        cls.procs.start("ibus-daemon", ["ibus-daemon", "--panel=disable", "--emoji-extension=disable",
                                        "--config=" + IBUS_PROGRAMS[0], "--desktop=e2e"], env=cls.ibus_env)
        bus_dir = os.path.join(home, ".config", "ibus", "bus")

        def address_file():
            for name in os.listdir(bus_dir) if os.path.isdir(bus_dir) else ():
                path = os.path.join(bus_dir, name)
                if "IBUS_ADDRESS=" in (file_text(path) or ""):
                    return path
            return None

        # The program finds the bus through the file (Qt's ibus support reads IBUS_ADDRESS_FILE),
        # the ibus tool through the address itself.
        cls.ibus_address_file = wait_until(address_file, 30, "ibus-daemon to publish its address")
        address = next(line for line in file_text(cls.ibus_address_file).splitlines()
                       if line.startswith("IBUS_ADDRESS="))
        cls.ibus_env["IBUS_ADDRESS"] = address[len("IBUS_ADDRESS="):]

        def engine_set():
            subprocess.run(["ibus", "engine", "hangul"], env=cls.ibus_env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
            current = subprocess.run(["ibus", "engine"], env=cls.ibus_env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, timeout=30).stdout
            return current.strip() == "hangul"

        wait_until(engine_set, 60, "ibus to take the Hangul engine", interval=1)

    def test_hangul_is_composed_in_the_preedit_and_committed_as_typed(self):
        app = self.launch(QT_IM_MODULE="ibus", IBUS_ADDRESS_FILE=self.ibus_address_file)
        before = app.prompts()
        app.type("cat > ime.txt")  # the engine starts in Latin mode and passes keys through
        app.key("Return")
        wait_until(lambda: os.path.exists(app.home.file("ime.txt")), 20, "cat to create ime.txt")
        app.key("shift+space")  # Hangul mode
        app.type("gksrnr")  # 한 is committed when 국 starts; 국 stays in the preedit
        app.key("space")  # commits 국 and types the space
        app.key("shift+space")  # Latin mode again
        app.type("ok")
        app.key("Return")
        wait_until(lambda: file_text(app.home.file("ime.txt")) == "\ud55c\uad6d ok\n", 20,
                   "the committed text to reach cat")
        app.key("ctrl+d")
        app.wait_for_prompt(before)

    def test_a_dead_key_composes_through_qt(self):
        # A dead key the keymap holds from the start: xdotool would otherwise map one for the moment
        # of the press, and a busy program could read the key after the map has gone again.
        env = self.xstack.env()
        keymap = subprocess.run(["xmodmap", "-pke"], env=env, stdout=subprocess.PIPE, text=True,
                                timeout=10, check=True).stdout
        if "dead_acute" not in keymap:
            free = next(line.split()[1] for line in keymap.splitlines() if line.strip().endswith("="))
            subprocess.run(["xmodmap", "-e", f"keycode {free} = dead_acute"], env=env, timeout=10, check=True)
        app = self.launch(QT_IM_MODULE="compose")
        before = app.prompts()
        app.type("cat > dead.txt")
        app.key("Return")
        wait_until(lambda: os.path.exists(app.home.file("dead.txt")), 20, "cat to create dead.txt")
        app.key("dead_acute", "e", "Return")
        wait_until(lambda: file_text(app.home.file("dead.txt")) == "\u00e9\n", 20, "é to reach cat")
        app.key("ctrl+d")
        app.wait_for_prompt(before)
