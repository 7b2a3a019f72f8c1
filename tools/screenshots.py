#!/usr/bin/env python3
"""Takes the pictures in docs/: the real window on a private desktop (Xvfb, openbox, picom with
blur) over a colourful wallpaper, and one picture of each glass material at opacity 0.6; with
--programs, one picture of vim, htop, mc and tmux running in four windows (docs/images/programs.png).

    tools/screenshots.py [--binary build/release/app/vitrion] [--out docs] [--programs]

Uses the end-to-end harness to run the desktop, so it needs the same Debian packages as the
end-to-end suite."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from vitrion_e2e.app import App  # noqa: E402
from vitrion_e2e.home import Home  # noqa: E402
from vitrion_e2e.processes import ProcessTable  # noqa: E402
from vitrion_e2e.screenshot import Image, capture_screen  # noqa: E402
from vitrion_e2e.xlib import Display  # noqa: E402
from vitrion_e2e.xstack import XStack  # noqa: E402

# Wallpaper: broad bands of a dusk palette, so the glass has something to blur and tint.
WALLPAPER = (0x1B3B6F, 0x21295C, 0x065A82, 0x1C7293, 0x9EB3C2, 0xE4A35D, 0xC8553D, 0x7A3B69)
WALLPAPER_BAND = 56
MATERIALS = ("HUD", "Sidebar", "Menu", "Popover", "Content")

PROMPT = r"""PS1='\[\e[38;5;117m\]vitrion\[\e[0m\]:\[\e[38;5;180m\]\w\[\e[0m\]$ '
alias ls='ls --color=always'
"""

DEMO = [
    "clear",
    "uname -sr",
    "ls -l --time-style=+ /etc | head -n 6",
    "for c in 31 32 33 34 35 36; do printf '\\e[%sm\\u2588\\u2588 colour %s\\e[0m  ' $c $c; done; echo",
    "printf '\\e[38;2;255;160;80mtruecolor \\e[38;2;120;200;255mtext \\e[0m\\u4e2d\\u6587 \\u00e9t\\u00e9\\n'",
]


def window_image(app):
    geometry = app.geometry()
    screen = capture_screen(app.env)
    return screen.crop(geometry.x, geometry.y, geometry.width, geometry.height)


def side_by_side(images, gap=16, background=(0x20, 0x20, 0x20)):
    height = max(image.height for image in images)
    width = sum(image.width for image in images) + gap * (len(images) - 1)
    fill = bytes((background[2], background[1], background[0], 0))
    rows = []
    for y in range(height):
        row = bytearray()
        for index, image in enumerate(images):
            if index:
                row += fill * gap
            row += image.row_bytes(y) if y < image.height else fill * image.width
        rows.append(bytes(row))
    return Image(width, height, b"".join(rows), width * 4)


def stacked(images, gap=16, background=(0x20, 0x20, 0x20)):
    width = max(image.width for image in images)
    fill = bytes((background[2], background[1], background[0], 0))
    rows = []
    for index, image in enumerate(images):
        if index:
            rows += [fill * width] * gap
        rows += [image.row_bytes(y) + fill * (width - image.width) for y in range(image.height)]
    return Image(width, len(rows), b"".join(rows), width * 4)


# Each program in a window of its own: the lines typed (a tuple is keys pressed) and how long it
# takes to settle.
PROGRAMS = (
    ("vim", ["vim -o Palette.h Color.h"], 2.0),
    ("htop", ["htop"], 3.0),
    ("mc", [f"mc {ROOT} {ROOT}/engine"], 3.0),
    ("tmux", ["tmux -f /dev/null", "ls -l --color=always /usr/share | head -n 30", ("ctrl+b", "quotedbl"),
              f"git -C {ROOT} log --oneline --graph --decorate --color=always -n 40 | cut -c 1-70"], 2.0),
)
VIMRC = "set nocompatible laststatus=2 number cursorline viminfo= noswapfile\nsyntax on\n"


def take_programs(context, out):
    """vim, htop, mc and tmux in four windows, two by two, into out/images/programs.png."""
    windows = []
    for label, steps, settle in PROGRAMS:
        sockets = tempfile.mkdtemp(prefix="vitrion-shots-tmux-")
        app = start_app(context, label, env={"TMUX_TMPDIR": sockets}, opacity=0.9, saturation=1.2, fontSize=11)
        app.home.write(".vimrc", VIMRC)
        app.home.write(".bashrc", PROMPT)  # mc's shell reads this one
        for name in ("Palette.h", "Color.h"):
            shutil.copy(os.path.join(ROOT, "engine", name), app.home.file(name))
        app.resize(600, 430)  # the smallest grid, 24 x 80, whole at this font size
        app.command("clear")
        for step in steps:
            if isinstance(step, tuple):
                app.key(*step)
            else:
                app.type(step)
                app.key("Return")
            time.sleep(0.7)
        time.sleep(settle)
        windows.append(window_image(app))
        subprocess.run(["tmux", "kill-server"], env=app.env, stderr=subprocess.DEVNULL, timeout=10)
        context.procs.stop(app.proc)
        shutil.rmtree(sockets, ignore_errors=True)
    os.makedirs(os.path.join(out, "images"), exist_ok=True)
    path = os.path.join(out, "images", "programs.png")
    stacked([side_by_side(windows[:2]), side_by_side(windows[2:])]).save_png(path)
    print("wrote", path)


def start_app(context, label, shell="/bin/bash", env=None, **settings):
    home = Home(context.workdir, label)
    with open(home.file(".bash_profile"), "a") as f:
        f.write(PROMPT)
    home.write_config(**settings)
    app = App(context, home, shell=shell, name=f"vitrion-{label}", extra_env=env)
    return app.start()


def run_demo(app):
    for line in DEMO:
        app.command(line)
    time.sleep(0.5)  # the last frame reaches the compositor


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "release", "app", "vitrion"))
    parser.add_argument("--out", default=os.path.join(ROOT, "docs"))
    parser.add_argument("--programs", action="store_true", help="only the picture of full-screen programs")
    args = parser.parse_args()
    if not os.access(args.binary, os.X_OK):
        sys.exit(f"screenshots: no program at {args.binary}; build it first")

    workdir = tempfile.mkdtemp(prefix="vitrion-shots-")
    procs = ProcessTable(workdir)
    context = types.SimpleNamespace(procs=procs, binary=os.path.abspath(args.binary), workdir=workdir)
    try:
        # Without damage tracking picom re-blurs whole frames: its partial re-blur leaves seams at the
        # edges of every partial update of a translucent window.
        context.xstack = XStack(procs, workdir, 1280, 800, picom_extra="use-damage = false;\n").start()
        with Display(context.xstack.display) as display:
            display.set_root_bands(WALLPAPER, WALLPAPER_BAND)
        if args.programs:
            take_programs(context, args.out)
            return

        app = start_app(context, "window", opacity=0.72, saturation=1.2, blur=0.72)
        app.resize(900, 520)
        run_demo(app)
        path = os.path.join(args.out, "screenshot.png")
        window_image(app).save_png(path)
        print("wrote", path)
        procs.stop(app.proc)

        pictures = []
        for material in MATERIALS:
            app = start_app(context, material, material=material, opacity=0.6)
            app.resize(620, 400)
            app.command("clear")
            app.command(f"echo {material}")
            time.sleep(0.5)
            pictures.append(window_image(app))
            procs.stop(app.proc)
        path = os.path.join(args.out, "materials.png")
        side_by_side(pictures).save_png(path)
        print("wrote", path)
    finally:
        procs.stop_all()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
