# Resizing the window through the window manager: the shell's idea of the terminal size (stty size)
# follows the grid rule for the new visible area at the drawn pitch and advance. The window's minimum
# holds 24 rows by 80 columns; forced smaller, as a tiling window manager may, the shell is told what
# the window shows.
import subprocess

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.sizing import grid_rule, measure_cells, minimum_size, resize_window, stty_size, visible_area


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

    def test_the_smallest_window_holds_24_by_80(self):
        app = self.launch()
        metrics = measure_cells(app)
        smallest = minimum_size(app)
        self.assertIsNotNone(smallest, "the window asks for no minimum size")
        self.assertEqual(self.check_size(app, metrics, *smallest, "small.txt"), (24, 80))

    def test_a_window_forced_below_its_minimum_tells_the_shell_what_it_shows(self):
        app = self.launch()
        metrics = measure_cells(app)
        # Without the size hints openbox, like a tiling window manager, sizes the window as it likes.
        subprocess.run(["xprop", "-id", app.window, "-remove", "WM_NORMAL_HINTS"], env=app.env, check=True,
                       timeout=10)
        rows, columns = self.check_size(app, metrics, 560, 330, "forced.txt")
        self.assertLess(rows, 24)
        self.assertLess(columns, 80)
