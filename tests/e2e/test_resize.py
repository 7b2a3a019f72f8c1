# Resizing the window through the window manager: the shell's idea of the terminal size (stty size)
# follows the grid rule for the new visible area at the drawn pitch and advance, and never drops below
# 24 rows by 80 columns.
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.sizing import grid_rule, measure_cells, resize_window, stty_size, visible_area


class ResizeTest(DesktopCase):
    def check_size(self, app, metrics, width, height, name):
        resize_window(app, width, height)
        seen = stty_size(app, name)
        area = visible_area(app)
        self.assertEqual(seen, grid_rule(*area, *metrics),
                         f"{width}x{height} window, visible area {area}, {metrics}")
        return seen

    def test_stty_size_follows_the_window(self):
        app = self.launch()
        metrics = measure_cells(app)
        large = self.check_size(app, metrics, 1100, 760, "large.txt")
        self.assertGreater(large[1], 80)
        self.assertGreater(large[0], 24)
        wider = self.check_size(app, metrics, 1240, 760, "wider.txt")
        self.assertGreater(wider[1], large[1])
        self.assertEqual(wider[0], large[0])

    def test_a_small_window_keeps_24_by_80(self):
        app = self.launch()
        self.assertEqual(self.check_size(app, measure_cells(app), 640, 400, "small.txt"), (24, 80))
