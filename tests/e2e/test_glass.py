# The glass over a striped root window: opaque by default, and at opacity 0.5 the stripes show
# through inside the rounded rectangle while the corners outside it keep the opaque window colour.
from vitrion_e2e import cells
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.waiting import wait_until
from vitrion_e2e.xstack import BAND_HEIGHT


class GlassTest(DesktopCase):
    def glass_image(self, app):
        return wait_until(lambda: (lambda i: cells.find_glass(i, app.corner_radius) and i)(app.capture()), 20,
                          "the rounded glass to be drawn")

    def band_contrast(self, app):
        image = self.glass_image(app)
        glass = app.glass(image)
        bright, dark = cells.band_samples(image, app.geometry(), glass, BAND_HEIGHT)
        self.assertIsNotNone(bright)
        self.assertIsNotNone(dark)
        return image, glass, cells.luma(bright) - cells.luma(dark)

    def assert_corners_opaque(self, image, glass):
        """Points just inside each corner of the window but outside the rounded rectangle (radius 20)."""
        points = []
        for d in (1, 4):
            points += [(glass.x + d, glass.y + d), (glass.right - 1 - d, glass.y + d),
                       (glass.x + d, glass.bottom - 1 - d), (glass.right - 1 - d, glass.bottom - 1 - d)]
        for x, y in points:
            self.assertTrue(cells.close_to(image.pixel(x, y), cells.WINDOW_COLOR, 10),
                            f"corner pixel ({x}, {y}) is {image.pixel(x, y)}, not the window colour")

    def test_half_opacity_shows_the_root_through_the_rounded_glass(self):
        home = self.new_home()
        home.write_config(opacity=0.5)
        app = self.launch(home=home)
        # The compositor may need a frame or two after mapping to draw what is behind.

        def translucent():
            image, glass, contrast = self.band_contrast(app)
            return contrast > 60 and (image, glass, contrast)

        try:
            image, glass, contrast = wait_until(translucent, 20, "the root bands to show through the glass")
        except AssertionError:
            self.save_image(app.capture(), "opacity-0.5")
            raise
        self.assert_corners_opaque(image, glass)

    def test_full_opacity_hides_the_root(self):
        app = self.launch()
        image, glass, contrast = self.band_contrast(app)
        self.assertLess(abs(contrast), 8, "the default glass lets the root show through")
        self.assert_corners_opaque(image, glass)
        bright, _ = cells.band_samples(image, app.geometry(), glass, BAND_HEIGHT)
        self.assertTrue(cells.close_to(bright, cells.DEFAULT_GLASS, 12), bright)
