# How each terminal is started for the peers benchmark: an 80 x 24 grid, DejaVu Sans Mono at 14
# pixels (what Vitrion resolves its default font to), the same colours where the terminal lets us
# set them, and for the compositor condition 80 % opaque where it has translucency at all. Every
# setting lives in the private HOME the terminal is started with.
import json
import os
import shutil
import subprocess

FONT = "DejaVu Sans Mono"
PIXELS = 14
POINTS = PIXELS * 72 / 96  # the toolkits' logical 96 DPI
BACKGROUND = "#252525"  # Vitrion's default glass without a compositor
FOREGROUND = "#ebedf5"  # Vitrion's default text
OPACITY = 0.8
GNOME_PROFILE = "b1dcc9dd-5262-4d8d-a863-c897e6d979b9"  # gnome-terminal's built-in default profile id


def package_version(package):
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True).stdout.strip()
    return out or "?"


def rgb(color):
    return ",".join(str(int(color[i:i + 2], 16)) for i in (1, 3, 5))


class Terminal:
    name = ""
    package = ""
    command = ""
    translucent = False  # whether it shows translucent under the compositor here
    shares_bus = False  # started inside a D-Bus session of its own

    def available(self):
        return shutil.which(self.command) is not None

    def version(self):
        return package_version(self.package)

    def configure(self, home, composited):
        """Writes the terminal's settings into home (a vitrion_e2e Home)."""

    def argv(self, home, composited):
        raise NotImplementedError


class Vitrion(Terminal):
    name = "Vitrion"
    translucent = True

    def __init__(self, binary, version):
        self.binary, self._version = binary, version

    def available(self):
        return os.access(self.binary, os.X_OK)

    def version(self):
        return self._version

    def configure(self, home, composited):
        # Its own defaults (the glass, DejaVu Sans Mono at 14 px); translucent under the compositor.
        home.write_config(opacity=OPACITY if composited else 1)

    def argv(self, home, composited):
        return [self.binary]


class Xterm(Terminal):
    name, package, command = "xterm", "xterm", "xterm"

    def argv(self, home, composited):
        # No translucency in xterm; its default scroll bar is off.
        return ["xterm", "-geometry", "80x24", "-fa", f"{FONT}:pixelsize={PIXELS}", "-bg", BACKGROUND,
                "-fg", FOREGROUND, "-xrm", "XTerm*termName: xterm-256color", "-ls"]


class St(Terminal):
    name, package, command = "st", "stterm", "stterm"

    def argv(self, home, composited):
        # Colours and translucency are compiled in (black background, opaque). st sets HOME to the
        # user's own home before it starts the shell, so the shell gets the private one back.
        return ["stterm", "-g", "80x24", "-f", f"{FONT}:pixelsize={PIXELS}", "-e", "env", f"HOME={home.path}",
                "/bin/bash"]


class Alacritty(Terminal):
    name, package, command = "alacritty", "alacritty", "alacritty"
    # Its opacity is set, but on an Xvfb without GLX it draws through EGL into an opaque visual.
    translucent = False

    def configure(self, home, composited):
        home.write(".config/alacritty/alacritty.yml", "\n".join([
            "window:",
            "  dimensions: {columns: 80, lines: 24}",
            f"  opacity: {OPACITY if composited else 1.0}",
            "font:",
            f"  normal: {{family: '{FONT}'}}",
            f"  size: {POINTS}",
            "colors:",
            f"  primary: {{background: '{BACKGROUND}', foreground: '{FOREGROUND}'}}",
            "",
        ]))

    def argv(self, home, composited):
        # Like st, it sets HOME to the user's own before starting the shell.
        return ["alacritty", "-e", "env", f"HOME={home.path}", "/bin/bash"]


class Konsole(Terminal):
    name, package, command = "konsole", "konsole", "konsole"
    translucent = True

    def configure(self, home, composited):
        home.write(".local/share/konsole/Bench.colorscheme", "\n".join([
            "[General]", "Description=Bench", f"Opacity={OPACITY if composited else 1}", "Blur=false", "",
            "[Background]", f"Color={rgb(BACKGROUND)}", "", "[Foreground]", f"Color={rgb(FOREGROUND)}", ""]))
        home.write(".local/share/konsole/Bench.profile", "\n".join([
            "[General]", "Name=Bench", "Parent=FALLBACK/", "TerminalColumns=80", "TerminalRows=24", "",
            "[Appearance]", "ColorScheme=Bench", f"Font={FONT},{POINTS},-1,5,50,0,0,0,0,0", "",
            "[Scrolling]", "ScrollBarPosition=2", ""]))
        home.write(".config/konsolerc", "\n".join([
            "[Desktop Entry]", "DefaultProfile=Bench.profile", "",
            "[KonsoleWindow]", "ShowMenuBarByDefault=false", "RememberWindowSize=false", "",
            "[TabBar]", "TabBarVisibility=ShowTabBarWhenNeeded", "",
            "[MainWindow]", "MenuBar=Disabled", "ToolBarsMovable=Disabled", "StatusBar=Disabled", "",
            "[MainWindow][Toolbar mainToolBar]", "Hidden=true", "",
            "[MainWindow][Toolbar sessionToolbar]", "Hidden=true", ""]))

    def argv(self, home, composited):
        return ["konsole", "--nofork", "--hide-menubar", "--hide-tabbar", "--notransparency"] \
            if not composited else ["konsole", "--nofork", "--hide-menubar", "--hide-tabbar"]


class QTerminal(Terminal):
    name, package, command = "qterminal", "qterminal", "qterminal"
    translucent = True

    def configure(self, home, composited):
        home.write(".config/qterminal.org/qterminal.ini", "\n".join([
            "[General]",
            f"fontFamily={FONT}", f"fontSize={round(POINTS)}",
            "colorScheme=WhiteOnBlack",
            f"TerminalTransparency={0 if not composited else round((1 - OPACITY) * 100)}",
            "ApplicationTransparency=0",
            "HideTabBarWithOneTab=true", "MenuVisible=false", "ScrollbarPosition=0", "TabsPosition=0",
            "KeyboardCursorShape=0", "AskOnExit=false", "SavePosOnExit=false", "SaveSizeOnExit=false",
            "UseCWD=false", "ShowCloseTabButton=false", "",
            "[MainWindow]", "fixedSize=@Size(0 0)", "",
        ]))

    def argv(self, home, composited):
        return ["qterminal"]


class GnomeTerminal(Terminal):
    name, package, command = "gnome-terminal", "gnome-terminal", "gnome-terminal"
    # Its transparency keys are set, but Debian's build draws the background opaque all the same.
    translucent = False
    shares_bus = True

    def configure(self, home, composited):
        path = f"/org/gnome/terminal/legacy/profiles:/:{GNOME_PROFILE}/"
        keys = {
            "use-system-font": "false", "font": f"'{FONT} {POINTS}'", "use-theme-colors": "false",
            "background-color": f"'{BACKGROUND}'", "foreground-color": f"'{FOREGROUND}'",
            "use-transparent-background": "true" if composited else "false",
            "background-transparency-percent": str(round((1 - OPACITY) * 100)),
            "default-size-columns": "80", "default-size-rows": "24", "scrollbar-policy": "'never'",
            "audible-bell": "false",
        }
        settings = home.write("gnome-terminal.dconf", "\n".join(
            [f"[{path.strip('/')}]"] + [f"{k}={v}" for k, v in keys.items()]
            + ["", "[org/gnome/terminal/legacy]", "default-show-menubar=false", "theme-variant='dark'", ""]))
        # dconf writes through its service on the session bus; the file it leaves is what
        # gnome-terminal reads at start.
        env = {"PATH": os.environ.get("PATH", ""), "HOME": home.path, "XDG_RUNTIME_DIR": home.file(".run")}
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        with open(settings) as f:
            subprocess.run(["dbus-run-session", "--", "dconf", "load", "/"], stdin=f, env=env, check=True,
                           timeout=60, stdout=subprocess.DEVNULL)

    def argv(self, home, composited):
        return ["dbus-run-session", "--", "gnome-terminal", "--wait", "--geometry=80x24"]


def peers():
    return [Xterm(), St(), Alacritty(), QTerminal(), Konsole(), GnomeTerminal()]


def describe(terminal):
    return json.dumps({"name": terminal.name, "version": terminal.version()})
