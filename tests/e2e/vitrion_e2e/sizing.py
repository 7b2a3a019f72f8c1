# The terminal's size as the shell sees it (stty size) and as the grid rule predicts it from the
# visible area and the cell metrics, both measured in screenshots.
import math
import os
import re
import subprocess

from . import cells
from .home import FULL_BLOCK
from .waiting import wait_until

PADDING = 24
TEXT_INSET = 2  # the view's margin around the text, on every side
MINIMUM_PITCH = 12.0
MINIMUM_ADVANCE = 6.0


def grid_rule(width, height, pitch, advance):
    """Rows and columns whose cells lie whole inside a visible area less the text inset on every
    side, at the line pitch and cell advance the terminal draws with: what the window shows."""
    rows = math.floor((height - 2 * TEXT_INSET) / max(pitch, MINIMUM_PITCH))
    columns = math.floor((width - 2 * TEXT_INSET) / max(advance, MINIMUM_ADVANCE))
    return max(rows, 1), max(columns, 1)


# Clears the screen and draws a comb, a full block in every other cell, on every other row down to
# the last but one or two, so neither the comb nor the prompt scrolls; the size it drew for goes into
# .e2e-comb. Once the harness deletes that file the screen is cleared again, and the history is as it
# was, so the scroll bar (and with it the width) is too.
COMB_SCRIPT = (
    'set -- $(stty size)\n'
    'comb=; i=2; while [ $i -lt "$2" ]; do comb="$comb{block} "; i=$((i + 2)); done\n'
    "printf '\\033[H\\033[2J'\n"
    'r=2; while [ $r -lt "$1" ]; do printf \'%s\\n\\n\' "$comb"; r=$((r + 2)); done\n'
    'echo "$1 $2" > "$HOME/.e2e-comb"\n'
    'while [ -e "$HOME/.e2e-comb" ]; do sleep 0.05; done\n'
    "printf '\\033[H\\033[2J'\n").format(block=FULL_BLOCK)


class CellMetrics:
    def __init__(self, pitch, advance):
        self.pitch, self.advance = pitch, advance

    def __iter__(self):
        return iter((self.pitch, self.advance))

    def __repr__(self):
        return f"CellMetrics(pitch={self.pitch:.4f}, advance={self.advance:.4f})"


def steady_step(marks):
    """The step s of marks (index, pixel) that are whole-pixel snaps of start + index x s: every pair
    allows only steps within one pixel of its own, and the middle of what all pairs allow is taken
    (for a dozen marks that pins s to a few hundredths of a pixel). None when no step fits."""
    low, high = -math.inf, math.inf
    for a, (index_a, pixel_a) in enumerate(marks):
        for index_b, pixel_b in marks[a + 1:]:
            span = index_b - index_a
            low = max(low, (pixel_b - pixel_a - 1) / span)
            high = min(high, (pixel_b - pixel_a + 1) / span)
    return (low + high) / 2 if low < high else None


def ink_runs(values):
    """[first, last] of each run of consecutive whole numbers in the ascending values."""
    runs = []
    for value in values:
        if runs and value == runs[-1][1] + 1:
            runs[-1][1] = value
        else:
            runs.append([value, value])
    return runs


def read_comb(image, area, bars, blocks, text_color=cells.TEXT_COLOR):
    """(CellMetrics or None, rows of blocks seen, blocks seen in the first): the metrics only when
    exactly bars rows of blocks blocks show in area of image."""
    def ink_xs(y):
        row = image.row_bytes(y)  # BGRA
        return [x for x in range(area.x, area.right)
                if abs(row[4 * x + 2] - text_color[0]) + abs(row[4 * x + 1] - text_color[1]) +
                abs(row[4 * x] - text_color[2]) < 45]

    rows = ink_runs([y for y in range(area.y, area.bottom) if len(ink_xs(y)) >= 2 * blocks])
    columns = ink_runs(ink_xs((rows[0][0] + rows[0][1]) // 2)) if rows else []
    if len(rows) != bars or len(columns) != blocks:
        return None, len(rows), len(columns)
    pitch = steady_step([(2 * n, top) for n, (top, _) in enumerate(rows)])
    advance = steady_step([(2 * n, left) for n, (left, _) in enumerate(columns)])
    return (CellMetrics(pitch, advance) if pitch and advance else None), len(rows), len(columns)


def measure_cells(app, padding=PADDING):
    """The line pitch and cell advance the terminal draws with, read from the comb; the window must
    show the whole grid (not a 24 x 80 floor larger than the window). The screen is left cleared, the
    prompt at its top."""
    stamp = app.home.file(".e2e-comb")
    if os.path.exists(stamp):
        os.unlink(stamp)
    app.home.write("comb", COMB_SCRIPT)
    before = app.prompts()
    app.type("sh comb")
    app.key("Return")
    rows, columns = (int(n) for n in app.wait_for_file(".e2e-comb", what="the comb to be drawn").split())
    bars, blocks = (rows - 1) // 2, (columns - 1) // 2
    seen = {}

    def measured():
        seen["image"] = image = app.capture()
        metrics, seen["rows"], seen["blocks"] = read_comb(image, surface_of(app, image, padding), bars, blocks)
        return metrics

    try:
        metrics = wait_until(measured, 20, "the comb to be drawn")
    except AssertionError:
        if "image" in seen:
            app.case.save_image(seen["image"], "comb")
        raise AssertionError(f"a {rows} x {columns} grid's comb has {bars} rows of {blocks} blocks; the window "
                             f"shows {seen.get('rows')} rows, the first with {seen.get('blocks')} blocks")
    os.unlink(stamp)
    app.wait_for_prompt(before)
    return metrics


SCROLL_BAR_WIDTH = 8  # the slim bar the terminal's scroll area reserves at its right edge


def surface_of(app, image, padding=PADDING):
    """The terminal's area in the window image: the glass less its padding."""
    glass = app.glass(image)
    return cells.Rect(glass.x + padding, glass.y + padding, glass.width - 2 * padding,
                      glass.height - 2 * padding)


def visible_area(app, padding=PADDING):
    """The area the grid fits in the window: the glass less its padding and less the scroll bar's
    width, which the grid leaves free whether the bar shows or not."""
    image = app.capture()
    surface = surface_of(app, image, padding)
    return surface.width - SCROLL_BAR_WIDTH, surface.height


def resize_window(app, width, height):
    """Resizes the window through the window manager and waits until the glass fills the new size."""
    app.resize(width, height)
    wait_until(lambda: (lambda g: (g.width, g.height) == (width, height) and g)(app.geometry()), 15,
               f"the window to become {width}x{height}")
    # The glass spans the window once the new size is laid out and drawn.
    wait_until(lambda: (lambda i: i.width == width and cells.find_glass(i) and
                        cells.find_glass(i).bottom == height)(app.capture()), 15, "the resized glass")


def minimum_size(app):
    """The minimum size the window asks of the window manager (WM_NORMAL_HINTS), or None."""
    out = subprocess.run(["xprop", "-id", app.window, "WM_NORMAL_HINTS"], env=app.env, stdout=subprocess.PIPE,
                         text=True, timeout=10).stdout
    found = re.search(r"minimum size: (\d+) by (\d+)", out)
    return (int(found.group(1)), int(found.group(2))) if found else None


def stty_size(app, name):
    """(rows, columns) reported by stty in the running bash."""
    app.command(f"stty size > {name}")
    rows, columns = app.wait_for_file(name).split()
    return int(rows), int(columns)
