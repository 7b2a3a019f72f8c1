# One run of the real program on the harness desktop, driven only as a user drives it: keys and
# text through xdotool (XTEST), the clipboard through xclip, the window size through the window
# manager; observed through the files its shell writes, screenshots and /proc.
import os
import re
import subprocess
import time

from . import cells
from .processes import children_of, cpu_seconds, descendants_of, process_state
from .screenshot import capture_screen
from .waiting import file_text, wait_until


class WindowGeometry:
    def __init__(self, x, y, width, height):
        self.x, self.y, self.width, self.height = x, y, width, height

    def __repr__(self):
        return f"{self.width}x{self.height}+{self.x}+{self.y}"


class App:
    """The program under test, started with HOME = home.path and SHELL = shell."""

    def __init__(self, case, home, shell="/bin/bash", name="vitrion", extra_env=None, args=(), title="Vitrion"):
        self.case, self.home, self.shell, self.name = case, home, shell, name
        self.args, self.title = list(args), title
        self.env = case.xstack.env(HOME=home.path, SHELL=shell, **(extra_env or {}))
        self.proc = None
        self.window = None
        self.started_at = None
        self.grid = None  # CellGrid once calibrated
        self.padding = 24
        self.corner_radius = 20

    # --- life -------------------------------------------------------------------------------
    def start(self, wait_for_shell=True):
        self.started_at = time.monotonic()
        self.proc = self.case.procs.start(self.name, [self.case.binary, *self.args], env=self.env,
                                          cwd=self.home.path)
        self.window = self.wait_for_window()
        if wait_for_shell:
            self.wait_for_shell()
            self.focus()
        return self

    @property
    def pid(self):
        return self.proc.pid

    def alive(self):
        return self.proc.poll() is None

    def log(self):
        return file_text(self.case.procs.log_path(self.name)) or ""

    def stop(self):
        self.case.procs.stop(self.proc)

    def xdo(self, *args, timeout=30):
        return subprocess.run(["xdotool", *args], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=timeout)

    def wait_for_window(self, timeout=30):
        def visible_main_window():
            if not self.alive():
                raise AssertionError(f"the program exited with status {self.proc.returncode}:\n{self.log()}")
            found = self.xdo("search", "--onlyvisible", "--pid", str(self.pid)).stdout.split()
            for wid in found:
                name = self.xdo("getwindowname", wid).stdout.strip()
                # A shell that reports its folder (OSC 7) and sets no title puts the folder first.
                if name == self.title or name.endswith(" \u2014 " + self.title):
                    return wid
            return None

        return wait_until(visible_main_window, timeout, f"the main window titled {self.title!r} to be mapped")

    def geometry(self):
        out = subprocess.run(["xwininfo", "-id", self.window], env=self.env, stdout=subprocess.PIPE,
                             text=True, timeout=10, check=True).stdout

        def field(label):
            return int(re.search(label + r":\s+(-?\d+)", out).group(1))

        return WindowGeometry(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                              field("Height"))

    def focus(self):
        self.xdo("windowactivate", "--sync", self.window, timeout=15)
        wait_until(lambda: self.xdo("getactivewindow").stdout.strip() == str(int(self.window)), 10,
                   "the window to become active")

    def open_settings_panel(self):
        """Ctrl+Shift+, and the wait until the panel is shown and has the keyboard focus."""
        self.key("ctrl+shift+comma")

        def shown():
            found = self.xdo("search", "--onlyvisible", "--name", "^Vitrion Settings$").stdout.split()
            return found and found[0]

        panel = wait_until(shown, 20, "the settings panel to be shown")
        wait_until(lambda: self.xdo("getactivewindow").stdout.strip() == panel, 10, "the panel to have the focus")
        return panel

    def resize(self, width, height):
        self.xdo("windowsize", "--sync", self.window, str(width), str(height), timeout=15)

    # --- the shell --------------------------------------------------------------------------
    def shell_pid(self):
        text = file_text(self.home.file(".e2e-shell-pid"))
        return int(text) if text and text.strip().isdigit() else None

    def wait_for_shell(self, previous=None, timeout=30):
        """Waits until a shell started by this program (a different one from previous) has read its
        start-up file."""
        def started():
            pid = self.shell_pid()
            if pid and pid != previous and pid in children_of(self.pid):
                return pid
            return None

        return wait_until(started, timeout, "the shell to start inside the window")

    def prompts(self):
        text = file_text(self.home.file(".e2e-prompts"))
        return int(text) if text and text.strip().isdigit() else 0

    def wait_for_prompt(self, after, timeout=30):
        """Waits until bash has shown more prompts than after (its PROMPT_COMMAND counts them)."""
        return wait_until(lambda: self.prompts() > after, timeout, "the next prompt")

    def key(self, *names):
        result = self.xdo("key", "--delay", "40", *names)
        if result.returncode != 0:
            raise AssertionError(f"xdotool key {names} failed: {result.stderr}")

    def type(self, text):
        # xdotool types through XTEST with the current keymap, one key at a time.
        result = self.xdo("type", "--delay", "12", "--", text, timeout=120)
        if result.returncode != 0:
            raise AssertionError(f"xdotool type failed: {result.stderr}")

    def command(self, text, wait_prompt=True):
        """Types a command line and Return; with bash, waits for the prompt after it."""
        before = self.prompts()
        self.type(text)
        self.key("Return")
        if wait_prompt:
            self.wait_for_prompt(before)

    def wait_for_file(self, name, predicate=lambda text: True, timeout=30, what=None):
        path = self.home.file(name)

        def ready():
            text = file_text(path)
            return text is not None and predicate(text) and text

        return wait_until(ready, timeout, what or f"the shell to write {name}")

    # --- the process ------------------------------------------------------------------------
    def status_field(self, field):
        with open(f"/proc/{self.pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        raise ValueError(field)

    def rss_mb(self):
        return self.status_field("VmRSS") / 1024.0

    def peak_rss_mb(self):
        return self.status_field("VmHWM") / 1024.0

    def cpu_seconds(self):
        return cpu_seconds(self.pid)

    def zombies(self):
        return [pid for pid in children_of(self.pid) if process_state(pid) == "Z"]

    def descendants(self):
        return descendants_of(self.pid)

    # --- pixels -----------------------------------------------------------------------------
    def capture(self):
        """The window's client area as the user sees it on the composited screen."""
        g = self.geometry()
        return capture_screen(self.env).crop(g.x, g.y, g.width, g.height)

    def glass(self, image):
        glass = cells.find_glass(image, self.corner_radius)
        if glass is None:
            self.case.save_image(image, "no-glass")
            raise AssertionError("could not find the rounded glass area in the window")
        return glass

    def calibrate(self):
        """Runs the calibration script and measures the cell grid from its two bars."""
        stamp = self.home.file(".e2e-calibrated")
        if os.path.exists(stamp):
            os.unlink(stamp)
        self.type("sh cal")
        self.key("Return")
        wait_until(lambda: os.path.exists(stamp), 30, "the calibration script to run")

        def measured():
            image = self.capture()
            grid = cells.CellGrid.measure(image, self.glass(image), 40)
            return grid and (image, grid)

        image, self.grid = wait_until(measured, 20, "the two calibration bars to be drawn")
        return self.grid

    def row_shape(self, image, row, columns, skip=(), text_color=cells.TEXT_COLOR):
        return self.grid.signature(image, self.glass(image), row, columns, self.padding, skip, text_color)

    def wait_for_row(self, row, text, at=0, skip=(), timeout=20, text_color=cells.TEXT_COLOR):
        """Waits until screen row shows the ink pattern of text from column at, blanks after it."""
        shape = cells.shape_of(text)
        width = at + len(shape) + 6
        seen = {}

        def shown():
            image = self.capture()
            seen["shape"] = self.row_shape(image, row, width, skip, text_color)
            seen["image"] = image
            return cells.matches(seen["shape"], shape, at) and image

        try:
            return wait_until(shown, timeout, f"row {row} to show {text!r}")
        except AssertionError:
            if "image" in seen:
                self.case.save_image(seen["image"], f"row{row}")
            raise AssertionError(f"row {row}: expected {'.' * at + shape!r}, saw {seen.get('shape')!r} "
                                 f"(grid {self.grid})")

    # --- clipboard --------------------------------------------------------------------------
    def set_clipboard(self, path):
        """Offers the file's bytes as the CLIPBOARD selection (xclip serves it until it is ended)."""
        proc = self.case.procs.start("xclip", ["xclip", "-quiet", "-selection", "clipboard", "-i", path],
                                     env=self.env)

        def offered():
            out = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"], env=self.env,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=10)
            return "UTF8_STRING" in out.stdout or "STRING" in out.stdout

        wait_until(offered, 15, "xclip to own the clipboard")
        return proc
