# A private Wayland desktop for the smoke case: sway on its headless backend (a wlroots compositor
# that takes virtual keyboards and screen copies), driven with wtype, grim, wl-copy/wl-paste and
# swaymsg. sway refuses to run as root, so under root it runs as the unprivileged user "nobody";
# root's clients reach its socket by its absolute path.
import os
import shutil
import subprocess
import tempfile

from .screenshot import Image
from .waiting import wait_until

REQUIRED_TOOLS = ("sway", "swaymsg", "wtype", "grim", "wl-copy", "wl-paste")

SWAY_CONFIG = """\
# Written by the end-to-end harness: one output, no borders or bar, nothing else.
output HEADLESS-1 resolution {width}x{height}
default_border none
default_floating_border none
"""


def missing_tools():
    return [tool for tool in REQUIRED_TOOLS if shutil.which(tool) is None]


class WaylandStack:
    def __init__(self, procs, workdir, width=1280, height=1024):
        self.procs, self.workdir, self.width, self.height = procs, workdir, width, height
        self.sway = None
        self.socket = self.ipc = None
        self.client_runtime = None

    def start(self):
        # The compositor's runtime folder belongs to the user it runs as, mode 0700 as libwayland wants.
        server_runtime = tempfile.mkdtemp(prefix="sway-run-", dir=self.workdir)
        as_user = []
        if os.geteuid() == 0:
            os.chmod(self.workdir, 0o755)
            shutil.chown(server_runtime, "nobody", "nogroup")
            as_user = ["runuser", "-u", "nobody", "--"]
        config = os.path.join(self.workdir, "sway.conf")
        with open(config, "w") as f:
            f.write(SWAY_CONFIG.format(width=self.width, height=self.height))
        os.chmod(config, 0o644)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": server_runtime,
               "XDG_RUNTIME_DIR": server_runtime, "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_RENDERER": "pixman"}
        self.sway = self.procs.start("sway", [*as_user, "env", *[f"{k}={v}" for k, v in env.items()],
                                              "sway", "--config", config], env=env)

        def sockets():
            if self.sway.poll() is not None:
                raise AssertionError(f"sway exited with status {self.sway.returncode}")
            names = os.listdir(server_runtime)
            wayland = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc")]
            return wayland and ipc and (wayland[0], ipc[0])

        wayland, ipc = wait_until(sockets, 30, "sway to open its sockets")
        self.socket = os.path.join(server_runtime, wayland)
        self.ipc = os.path.join(server_runtime, ipc)
        # Clients get a runtime folder of their own (Qt wants one owned by its user).
        self.client_runtime = tempfile.mkdtemp(prefix="client-run-", dir=self.workdir)
        os.chmod(self.client_runtime, 0o700)
        return self

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR")}
        env.update(WAYLAND_DISPLAY=self.socket, XDG_RUNTIME_DIR=self.client_runtime, SWAYSOCK=self.ipc,
                   QT_QPA_PLATFORM="wayland")
        env.update(extra)
        return env

    def run(self, *argv, input_text=None, timeout=30):
        return subprocess.run(argv, env=self.env(), input=input_text, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=timeout, check=True).stdout

    def offer_clipboard(self, text):
        """Offers text as the clipboard's contents; wl-copy serves it until it is ended."""
        return self.procs.start("wl-copy", ["wl-copy", "--foreground", "--", text], env=self.env())

    def type(self, text, *keys):
        """Types text, then presses keys (keysym names). One virtual keyboard for both: a new one's
        first key can arrive before the client has its keymap, so it starts after a pause."""
        assert not text.startswith("-"), "wtype would take it for an option"
        argv = ["wtype", "-s", "300", "-d", "12", text] if text else ["wtype", "-s", "300"]
        for key in keys:
            argv += ["-k", key]
        self.run(*argv, timeout=120)

    def chord(self, *modifiers_and_key):
        """Presses a key with modifiers held ("ctrl", "shift", "v")."""
        *modifiers, key = modifiers_and_key
        argv = ["wtype", "-s", "300"]
        for modifier in modifiers:
            argv += ["-M", modifier]
        argv += ["-k", key]
        for modifier in reversed(modifiers):
            argv += ["-m", modifier]
        self.run(*argv)

    def screenshot(self):
        """The output as grim copies it, as an Image (decoded from binary PPM)."""
        blob = subprocess.run(["grim", "-t", "ppm", "-"], env=self.env(), stdout=subprocess.PIPE, timeout=30,
                              check=True).stdout
        fields, offset = [], 0
        while len(fields) < 4:  # P6, width, height, maximum value; whitespace-separated
            while blob[offset:offset + 1].isspace():
                offset += 1
            end = offset
            while not blob[end:end + 1].isspace():
                end += 1
            fields.append(blob[offset:end])
            offset = end
        offset += 1
        width, height = int(fields[1]), int(fields[2])
        rgb = blob[offset:offset + width * height * 3]
        bgrx = bytearray(width * height * 4)
        bgrx[0::4], bgrx[1::4], bgrx[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
        return Image(width, height, bytes(bgrx), width * 4)
