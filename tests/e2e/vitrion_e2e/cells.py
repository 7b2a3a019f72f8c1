# Reading the terminal's text back from a screenshot without recognising glyphs: the cell grid is
# measured from two bars of full blocks, then each cell is "ink" or "blank", which is enough to match
# the shape of a known line ("$ echo ok" is "#.####.##").
import math

TEXT_COLOR = (235, 237, 245)  # default text colour (0.92, 0.93, 0.96)
MESSAGE_RED = (255, 69, 58)  # the red of the program's own messages (a start that failed)
WINDOW_COLOR = (28, 38, 54)  # opaque window background (0.11, 0.15, 0.21)
DEFAULT_GLASS = (37, 37, 37)  # default tint: Rec. 709 grey 0.1458 at opacity 1
CURSOR_GREY = (184, 184, 184)  # calibrated white 0.72


def distance(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1]) + abs(a[2] - b[2])


def luma(p):
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]


def close_to(p, color, tolerance):
    return distance(p, color) <= tolerance


class Rect:
    def __init__(self, x, y, width, height):
        self.x, self.y, self.width, self.height = x, y, width, height

    @property
    def right(self):
        return self.x + self.width

    @property
    def bottom(self):
        return self.y + self.height

    def __repr__(self):
        return f"Rect({self.x}, {self.y}, {self.width}x{self.height})"


def find_glass(image, corner_radius=20, tolerance=10):
    """The rounded glass rectangle inside a window image (image coordinates). Its corners lie outside
    the rounded shape and are painted in the opaque window colour at any opacity, while a little
    further in, past the curve, the glass itself shows: the first and last rows where both hold
    bound the glass vertically. The glass spans the window's full width."""
    inner = min(image.width - 1, int(corner_radius) + 6)

    def edge_row(y):
        corner = image.pixel(1, y)
        return close_to(corner, WINDOW_COLOR, tolerance) and not close_to(image.pixel(inner, y), corner, 6)

    top = next((y for y in range(image.height) if edge_row(y)), None)
    bottom = next((y for y in range(image.height - 1, -1, -1) if edge_row(y)), None)
    if top is None or bottom is None or bottom - top < 50:
        return None
    return Rect(0, top, image.width, bottom - top + 1)


def band_samples(image, geometry, glass, band_height, inset=12):
    """Two pixels in the glass's left padding band, one over the middle of a white root band and one
    over a black one (the root is striped in bands band_height pixels high, white first at the
    screen's top); geometry is the window's place on the screen."""
    bright = dark = None
    for band_top in range(0, 4096, band_height):
        y = band_top + band_height // 2 - geometry.y
        if glass.y + 30 <= y < glass.bottom - 30:
            pixel = image.pixel(glass.x + inset, y)
            if (band_top // band_height) % 2 == 0:
                bright = bright or pixel
            else:
                dark = dark or pixel
    return bright, dark


class CellGrid:
    """Where cell (row, column) of the visible screen is drawn, measured from the calibration bars."""

    def __init__(self, left, advance, row0_top, pitch, band_height):
        self.left, self.advance, self.row0_top, self.pitch, self.band = left, advance, row0_top, pitch, band_height

    def __repr__(self):
        return (f"CellGrid(left={self.left}, advance={self.advance:.3f}, row0_top={self.row0_top}, "
                f"pitch={self.pitch:.3f}, band={self.band})")

    def row_span(self, row):
        top = int(round(self.row0_top + row * self.pitch))
        return top, top + self.band

    def column_span(self, column):
        return (int(math.floor(self.left + column * self.advance)),
                int(math.ceil(self.left + (column + 1) * self.advance)))

    @staticmethod
    def measure(image, glass, bar_cells, text_color=TEXT_COLOR):
        """Finds the two bars (rows 0 and 2 of the screen) in the glass area of image."""
        bar_rows = []
        for y in range(glass.y, glass.bottom):
            row = image.row_bytes(y)
            count = 0
            for x in range(glass.x, glass.right):
                o = x * 4
                if abs(row[o + 2] - text_color[0]) + abs(row[o + 1] - text_color[1]) + abs(row[o] - text_color[2]) < 45:
                    count += 1
            if count >= bar_cells * 4:
                bar_rows.append(y)
        runs = []
        for y in bar_rows:
            if runs and y == runs[-1][1] + 1:
                runs[-1][1] = y
            else:
                runs.append([y, y])
        if len(runs) != 2:
            return None
        (top0, bottom0), (top2, _) = runs
        middle = (top0 + bottom0) // 2
        xs = [x for x in range(glass.x, glass.right) if distance(image.pixel(x, middle), text_color) < 45]
        # The bar is one run of ink with hairline seams between its blocks; anything further right
        # in a light colour (a scroll bar) is not part of it.
        end = 0
        while end + 1 < len(xs) and xs[end + 1] - xs[end] <= 3:
            end += 1
        advance = (xs[end] - xs[0] + 1) / bar_cells
        return CellGrid(xs[0], advance, top0, (top2 - top0) / 2, bottom0 - top0 + 1)

    def background(self, image, glass, row, padding):
        top, bottom = self.row_span(row)
        return image.pixel(glass.x + max(2, int(padding) // 2), (top + bottom) // 2)

    def cell_has_ink(self, image, row, column, background, text_color=TEXT_COLOR):
        """True when the cell's inside (one pixel off each side, so antialiasing of a neighbour does
        not count) has a pixel at least halfway from the background's brightness to the text's."""
        top, bottom = self.row_span(row)
        left, right = self.column_span(column)
        threshold = luma(background) + 0.5 * (luma(text_color) - luma(background))
        for y in range(max(0, top), min(image.height, bottom)):
            for x in range(max(0, left + 1), min(image.width, right - 1)):
                if luma(image.pixel(x, y)) >= threshold:
                    return True
        return False

    def signature(self, image, glass, row, columns, padding, skip=(), text_color=TEXT_COLOR):
        """One character per cell: '#' ink, '.' blank, '?' for the columns in skip (the cursor)."""
        background = self.background(image, glass, row, padding)
        return "".join("?" if c in skip else
                       ("#" if self.cell_has_ink(image, row, c, background, text_color) else ".")
                       for c in range(columns))

    def text_color_pixels(self, image, row, columns, text_color=TEXT_COLOR, tolerance=36):
        top, bottom = self.row_span(row)
        left, _ = self.column_span(0)
        _, right = self.column_span(columns - 1)
        count = 0
        for y in range(max(0, top), min(image.height, bottom)):
            for x in range(max(0, left), min(image.width, right)):
                if distance(image.pixel(x, y), text_color) <= tolerance:
                    count += 1
        return count


def shape_of(text):
    """The ink pattern a line of text leaves: '#' for every visible character, '.' for spaces."""
    return "".join("." if ch == " " else "#" for ch in text)


def matches(signature, shape, at=0):
    """True when signature shows exactly shape starting at column at ('?' matches anything) and
    blank cells after it."""
    window = signature[at:at + len(shape)]
    if len(window) < len(shape):
        return False
    for seen, wanted in zip(window, shape):
        if seen != "?" and seen != wanted:
            return False
    return all(c in ".?" for c in signature[at + len(shape):])
