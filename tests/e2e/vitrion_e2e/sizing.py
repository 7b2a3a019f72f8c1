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
    """SCROLL_BAR_WIDTH when the scroll bar shows, else 0. The bar reserves that width at the
    surface's right edge but draws only its thumb (with a pixel of margin each side) over a
    transparent trough, so any pixel in that strip, on any row, that differs from the glass at the
    same height in the left text inset (where no text is drawn; the wallpaper behind the glass
    changes from top to bottom, not across) means the bar is there. No text reaches the strip."""
    for y in range(surface.y + 2, surface.bottom - 2, 2):
        glass = image.pixel(surface.x + 1, y)
        for x in range(surface.right - SCROLL_BAR_WIDTH, surface.right):
            if cells.distance(image.pixel(x, y), glass) > 30:
                return SCROLL_BAR_WIDTH
    return 0


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
