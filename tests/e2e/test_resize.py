# Resizing the window through the window manager: the shell's idea of the terminal size (stty size)
# follows the grid rule for the new visible area, and never drops below 24 rows by 80 columns.
import math

from vitrion_e2e import cells
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import wait_until

FONT_SIZE, LINE_SPACING, PADDING = 14.0, 1.15, 24


def grid_rule(width, height, font_size=FONT_SIZE, line_spacing=LINE_SPACING):
    """Rows and columns for a visible area: the estimate from the font size alone, floored at 24 x 80."""
    line_height = max(font_size * line_spacing, 12.0)
    cell_width = max(font_size * 0.61, 6.0)
    return max(math.floor(height / line_height), 24), max(math.floor(width / cell_width), 80)


def scroll_bar_width(image, surface):
    """Width of the light scroll bar along the surface's right edge (0 when there is none), read
    halfway down the surface where no text reaches that far right."""
    y = surface.y + surface.height // 2
    glass = image.pixel(surface.x + 2, y)
    width = 0  # its dark edge line included
    while width < 40 and cells.distance(image.pixel(surface.right - 1 - width, y), glass) > 30:
        width += 1
    return width


def visible_area(app, padding=PADDING):
    """The terminal's visible area in the window as drawn: the glass less its padding and less the
    scroll bar when one is shown."""
    image = app.capture()
    glass = app.glass(image)
    surface = cells.Rect(glass.x + padding, glass.y + padding, glass.width - 2 * padding,
                         glass.height - 2 * padding)
    return surface.width - scroll_bar_width(image, surface), surface.height


def stty_size(app, name):
    app.command(f"stty size > {name}")
    rows, columns = app.wait_for_file(name).split()
    return int(rows), int(columns)


class ResizeTest(DesktopCase):
    def check_size(self, app, width, height, name):
        app.resize(width, height)
        wait_until(lambda: (lambda g: (g.width, g.height) == (width, height) and g)(app.geometry()), 15,
                   f"the window to become {width}x{height}")
        # The glass spans the window once the new size is laid out and drawn.
        wait_until(lambda: (lambda i: i.width == width and cells.find_glass(i) and
                            cells.find_glass(i).bottom == height)(app.capture()), 15, "the resized glass")
        seen = stty_size(app, name)
        expected = grid_rule(*visible_area(app))
        self.assertEqual(seen, expected, f"{width}x{height} window, visible area {visible_area(app)}")
        return seen

    def test_stty_size_follows_the_window(self):
        app = self.launch()
        large = self.check_size(app, 1100, 760, "large.txt")
        self.assertGreater(large[1], 80)
        self.assertGreater(large[0], 24)
        wider = self.check_size(app, 1240, 760, "wider.txt")
        self.assertGreater(wider[1], large[1])
        self.assertEqual(wider[0], large[0])

    def test_a_small_window_keeps_24_by_80(self):
        app = self.launch()
        self.assertEqual(self.check_size(app, 640, 400, "small.txt"), (24, 80))
