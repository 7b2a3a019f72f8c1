#!/usr/bin/env python3
"""Takes the pictures in docs/: the real window on a private desktop (Xvfb, openbox, picom with
blur) over a colourful wallpaper, and one picture of each glass material at opacity 0.6.

    tools/screenshots.py [--binary build/release/app/vitrion] [--out docs]

Uses the end-to-end harness to run the desktop, so it needs the same Debian packages as the
end-to-end suite."""
import argparse
import os
import shutil
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


def start_app(context, label, shell="/bin/bash", **settings):
    home = Home(context.workdir, label)
    with open(home.file(".bash_profile"), "a") as f:
        f.write(PROMPT)
    home.write_config(**settings)
    app = App(context, home, shell=shell, name=f"vitrion-{label}")
    return app.start()


def run_demo(app):
    for line in DEMO:
        app.command(line)
    time.sleep(0.5)  # the last frame reaches the compositor


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "release", "app", "vitrion"))
    parser.add_argument("--out", default=os.path.join(ROOT, "docs"))
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
