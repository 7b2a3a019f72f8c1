# The terminal's size as the shell sees it (stty size) and as the grid rule predicts it from the
# visible area measured in a screenshot.
import math

from . import cells

PADDING = 24


def grid_rule(width, height, font_size=14.0, line_spacing=1.15):
    """Rows and columns for a visible area: the estimate from the font size alone, floored at 24 x 80."""
    line_height = max(font_size * line_spacing, 12.0)
    cell_width = max(font_size * 0.61, 6.0)
    return max(math.floor(height / line_height), 24), max(math.floor(width / cell_width), 80)


SCROLL_BAR_WIDTH = 8  # the slim bar the terminal's scroll area reserves at its right edge


def scroll_bar_width(image, surface):
    """Width of the scroll bar along the surface's right edge (0 when there is none). Its thumb may
    be close to the glass in colour, so the widest run of non-glass pixels at the edge over rows down
    the whole surface is taken (no text reaches that far right)."""
    glass = image.pixel(surface.x + 2, surface.y + surface.height // 2)
    widest = 0
    for y in range(surface.y + 4, surface.bottom - 4, 6):
        width = 0  # its dark edge line included
        while width < 40 and cells.distance(image.pixel(surface.right - 1 - width, y), glass) > 30:
            width += 1
        widest = max(widest, width)
    return widest


def visible_area(app, padding=PADDING):
    """The terminal's visible area in the window as drawn: the glass less its padding and less the
    scroll bar when one is shown."""
    image = app.capture()
    glass = app.glass(image)
    surface = cells.Rect(glass.x + padding, glass.y + padding, glass.width - 2 * padding,
                         glass.height - 2 * padding)
    return surface.width - scroll_bar_width(image, surface), surface.height


def stty_size(app, name):
    """(rows, columns) reported by stty in the running bash."""
    app.command(f"stty size > {name}")
    rows, columns = app.wait_for_file(name).split()
    return int(rows), int(columns)
