# Resizing the window through the window manager: the shell's idea of the terminal size (stty size)
# follows the grid rule for the new visible area, and never drops below 24 rows by 80 columns.
from vitrion_e2e import cells
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.sizing import grid_rule, stty_size, visible_area
from vitrion_e2e.waiting import wait_until


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
