# A private desktop for one test module: Xvfb on a free display, openbox as the window manager and
# picom as the compositing manager (configured to blur behind translucent windows).
import os
import select
import shutil
import subprocess

from .waiting import wait_until
from .xlib import Display

PICOM_CONFIG = """\
# Compositor settings for the end-to-end desktop: blur behind translucent windows, nothing else.
backend = "xrender";
blur-background = true;
blur-method = "box";
blur-size = 13;
shadow = false;
fading = false;
vsync = false;
"""

REQUIRED_TOOLS = ("Xvfb", "openbox", "picom", "xdotool", "xclip", "import", "xwininfo", "xprop", "xset")

# Root background: horizontal bands of white and black, 64 pixels high (coarse enough that a box
# blur of 13 leaves the middle of each band at its own colour).
BAND_COLORS = (0xFFFFFF, 0x000000)
BAND_HEIGHT = 64


def missing_tools():
    return [tool for tool in REQUIRED_TOOLS if shutil.which(tool) is None]


class XStack:
    def __init__(self, procs, workdir, width=1280, height=1024, compositor=True, picom_extra=""):
        self.procs, self.workdir = procs, workdir
        self.width, self.height, self.with_compositor = width, height, compositor
        self.picom_extra = picom_extra  # settings appended to PICOM_CONFIG
        self.display = None
        self.xvfb = self.wm = self.compositor = None
        self.runtime_dir = os.path.join(workdir, "xdg-runtime")
        os.makedirs(self.runtime_dir, mode=0o700, exist_ok=True)

    def env(self, **extra):
        """The environment every X client of this desktop runs with."""
        env = {
            "PATH": os.environ.get("PATH", "/usr/local/bin:/usr/bin:/bin"),
            "DISPLAY": self.display,
            "HOME": self.workdir,
            "XDG_RUNTIME_DIR": self.runtime_dir,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "NO_AT_BRIDGE": "1",
            # No session bus on this desktop: without an address, a client that asks for one would
            # start dbus-launch (where it is installed), which outlives the case.
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.runtime_dir, "no-bus"),
        }
        env.update(extra)
        return env

    def start(self):
        self._start_xvfb()
        self.wm = self.procs.start("openbox", ["openbox", "--sm-disable"], env=self.env())
        wait_until(self._wm_running, 20, "openbox to take the screen")
        # No key repeat: on a loaded machine the server can see a synthetic key held past the repeat
        # delay (while it serves a large clipboard transfer) and type it again.
        subprocess.run(["xset", "r", "off"], env=self.env(), check=True, timeout=10)
        with Display(self.display) as d:
            d.set_root_bands(BAND_COLORS, BAND_HEIGHT)
        if self.with_compositor:
            self.start_compositor()
        return self

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        # Without GLX: its many 32-bit visuals have no alpha channel, and a toolkit that takes the
        # first 32-bit visual for a translucent window would get one the compositor draws opaque.
        # Then the only 32-bit visual left is the Composite extension's ARGB one.
        # VITRION_E2E_DISPLAY (":91") pins the display where several runs share a machine.
        pinned = [os.environ["VITRION_E2E_DISPLAY"]] if os.environ.get("VITRION_E2E_DISPLAY") else []
        argv = ["Xvfb", *pinned, "-displayfd", str(write_end), "-screen", "0", f"{self.width}x{self.height}x24",
                "-nolisten", "tcp", "-noreset", "+extension", "Composite", "+extension", "RENDER", "-extension", "GLX"]
        self.xvfb = self.procs.start("xvfb", argv, env={"PATH": os.environ.get("PATH", "")},
                                     pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        try:
            # Xvfb writes the display number it chose, then a newline, once it accepts clients.
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 30)
                if not ready:
                    raise RuntimeError("Xvfb did not report a display within 30 s")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise RuntimeError("Xvfb exited before reporting a display; see xvfb.log")
                number += chunk
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def _wm_running(self):
        out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(),
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=10).stdout
        return "window id" in out

    def compositor_running(self):
        with Display(self.display) as d:
            return d.compositor_running()

    def start_compositor(self):
        config = os.path.join(self.workdir, "picom.conf")
        with open(config, "w") as f:
            f.write(PICOM_CONFIG + self.picom_extra)
        # picom 9 offers the box blur only with its newer backends.
        self.compositor = self.procs.start(
            "picom", ["picom", "--experimental-backends", "--config", config], env=self.env())
        wait_until(self.compositor_running, 20, "picom to own the compositing-manager selection")

    def stop_compositor(self):
        if self.compositor is not None:
            self.procs.stop(self.compositor)
            self.compositor = None
            wait_until(lambda: not self.compositor_running(), 10, "the compositing-manager selection to go")

    def stop(self):
        for proc in (self.compositor, self.wm, self.xvfb):
            if proc is not None:
                self.procs.stop(proc)
        self.compositor = self.wm = self.xvfb = None
