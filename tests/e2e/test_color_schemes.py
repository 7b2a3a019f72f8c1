# Colour schemes in the real window: the sixteen colours an imported alacritty theme brings are what
# `tput setaf` draws, and a light scheme over the glass at the default minimum contrast keeps every
# colour at or above 4.5:1 against the glass in the screenshot's own pixels.
import tomllib
from collections import Counter

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import wait_until

# A theme file as users bring it (Gruvbox's published colours, MIT licence).
ALACRITTY_THEME = """\
[colors.primary]
background = '#282828'
foreground = '#ebdbb2'

[colors.normal]
black   = '#282828'
red     = '#cc241d'
green   = '#98971a'
yellow  = '#d79921'
blue    = '#458588'
magenta = '#b16286'
cyan    = '#689d6a'
white   = '#a89984'

[colors.bright]
black   = '#928374'
red     = '#fb4934'
green   = '#b8bb26'
yellow  = '#fabd2f'
blue    = '#83a598'
magenta = '#d3869b'
cyan    = '#8ec07c'
white   = '#ebdbb2'
"""
NAMES = ("black", "red", "green", "yellow", "blue", "magenta", "cyan", "white")

SOLARIZED = ["#073642", "#dc322f", "#859900", "#b58900", "#268bd2", "#d33682", "#2aa198", "#eee8d5",
             "#002b36", "#cb4b16", "#586e75", "#657b83", "#839496", "#6c71c4", "#93a1a1", "#fdf6e3"]

# Each colour on a row of its own, as twelve full blocks (solid pixels, no antialiasing inside).
BLOCK_ROWS = ("clear; for i in 0 1 2 3 4 5 6 7; do tput setaf $i; "
              "printf '\\342\\226\\210%.0s' 1 2 3 4 5 6 7 8 9 10 11 12; echo; done; tput sgr0")


def rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def luminance(p):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2])


def ratio(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def block_colours(image, glass):
    """The colours that fill most of a row of twelve blocks (seams between blocks aside) on several
    pixel rows (a block's antialiased top or bottom edge fills only one), top to bottom."""
    rows = Counter()
    order = []
    for y in range(glass.y, glass.bottom):
        counts = Counter(image.pixel(x, y) for x in range(glass.x, glass.right))
        for colour, count in counts.items():
            if count >= 48:
                rows[colour] += 1
                if colour not in order:
                    order.append(colour)
    return [colour for colour in order if rows[colour] >= 4]


class ColorSchemeTest(DesktopCase):
    def show_blocks(self, app, count):
        app.command(BLOCK_ROWS)
        glass_colour = {}

        def drawn():
            image = app.capture()
            glass = app.glass(image)
            # Well inside the glass, below the text and clear of the rounded corners.
            behind = image.pixel(glass.x + glass.width // 2, glass.y + glass.height * 3 // 4)
            colours = [c for c in block_colours(image, glass) if c != behind]
            glass_colour["value"] = behind
            return len(colours) >= count and (image, colours)

        try:
            image, colours = wait_until(drawn, 20, f"{count} rows of coloured blocks")
        except AssertionError:
            self.save_image(app.capture(), "blocks")
            raise
        return image, colours, glass_colour["value"]

    def test_an_imported_alacritty_palette_is_what_setaf_draws(self):
        theme = tomllib.loads(ALACRITTY_THEME)["colors"]
        ansi = [theme["normal"][n] for n in NAMES] + [theme["bright"][n] for n in NAMES]
        home = self.new_home()
        home.write("gruvbox.toml", ALACRITTY_THEME)
        # The settings as Import… leaves them: the scheme kept, its colours in force.
        scheme = {"name": "gruvbox", "ansiColors": ansi, "foreground": theme["primary"]["foreground"],
                  "background": theme["primary"]["background"], "cursorColor": theme["primary"]["foreground"],
                  "selectionColor": "", "selectionTextColor": ""}
        home.write_config(ansiColors=ansi, colorScheme="gruvbox", importedSchemes=[scheme], minimumContrast=1)
        app = self.launch(home=home)
        image, colours, _ = self.show_blocks(app, 7)
        expected = [rgb(c) for c in ansi[1:8]]
        for colour in expected:
            self.assertTrue(any(sum(abs(a - b) for a, b in zip(colour, seen)) <= 3 for seen in colours),
                            f"{colour} not drawn; saw {colours}")

    def test_a_light_scheme_over_the_glass_keeps_every_colour_legible(self):
        home = self.new_home()
        background = rgb("#fdf6e3")
        home.write_config(ansiColors=SOLARIZED, colorScheme="Solarized Light", minimumContrast=4.5,
                          textRed=0x65 / 255, textGreen=0x7b / 255, textBlue=0x83 / 255,
                          tintRed=background[0] / 255, tintGreen=background[1] / 255, tintBlue=background[2] / 255,
                          saturation=1, cursorColor="#586e75")
        app = self.launch(home=home)
        image, colours, glass = self.show_blocks(app, 8)
        try:
            self.assertGreater(luminance(glass), 0.5, f"the glass is not light: {glass}")
            for colour in colours:
                self.assertGreaterEqual(ratio(colour, glass), 4.4, f"{colour} on {glass}")
            # Black (base02) was legible already: drawn exactly; yellow was not: drawn darker.
            self.assertIn(rgb(SOLARIZED[0]), colours)
            self.assertNotIn(rgb(SOLARIZED[3]), colours)
        except AssertionError:
            self.save_image(image, "solarized-light")
            raise
