# Settings as a user meets them: a config file with a larger font gives a smaller grid, a change made
# in the panel with the keyboard is written into config.json (atomically, pretty-printed, keys
# sorted), an edit made to the file elsewhere reaches the running window, and a corrupt file starts
# the defaults and is left alone until the user replaces it from the panel.
import json
import os

from vitrion_e2e.case import DesktopCase
from vitrion_e2e.home import DEFAULT_SETTINGS
from vitrion_e2e.sizing import grid_rule, measure_cells, resize_window, stty_size, visible_area
from vitrion_e2e.waiting import file_text, wait_until

CORRUPT = '{"opacity": 0.5, "fontSize": 20, "shell": '


class SettingsTest(DesktopCase):
    def lower_opacity_with_the_keyboard(self, app):
        """Done has the focus first; two Tabs reach the opacity slider, Home moves it to its left end."""
        app.open_settings_panel()
        app.key("Tab", "Tab", "Home")

    def read_config(self, app, predicate, what):
        def parsed():
            text = file_text(app.home.config_path)
            try:
                settings = json.loads(text) if text else None
            except ValueError:
                return None  # never seen half-written if the write is atomic; keep waiting to report it
            return settings is not None and predicate(settings) and (text, settings)

        return wait_until(parsed, 20, what)

    def assert_written_whole(self, text, settings):
        self.assertEqual(sorted(settings), sorted(DEFAULT_SETTINGS), "not every key")
        self.assertEqual(list(settings), sorted(settings), "keys not in ascending order")
        # Each member starts a line of its own at the first indentation (a list's items follow on
        # lines of their own, deeper).
        members = [line for line in text.splitlines() if line.startswith('    "')]
        self.assertEqual(len(members), len(DEFAULT_SETTINGS), f"not one member per line:\n{text}")
        self.assertTrue(text.startswith("{\n"), text)

    def test_a_larger_font_in_the_file_gives_fewer_rows_and_columns(self):
        # A window large enough for either font's grid to fit above the 24 x 80 floor.
        default = self.launch()
        resize_window(default, 1100, 760)
        default_metrics = measure_cells(default)
        default_size = stty_size(default, "size.txt")
        self.assertEqual(default_size, grid_rule(*visible_area(default), *default_metrics))
        default.stop()

        home = self.new_home()
        home.write_config(fontSize=20)
        large = self.launch(home=home)
        resize_window(large, 1100, 760)
        large_metrics = measure_cells(large)
        large_size = stty_size(large, "size.txt")
        self.assertEqual(large_size, grid_rule(*visible_area(large), *large_metrics))
        self.assertLess(large_size[0], default_size[0])
        self.assertLess(large_size[1], default_size[1])

    def test_a_change_in_the_panel_rewrites_the_file_atomically(self):
        app = self.launch()
        self.assertFalse(os.path.exists(app.home.config_path), "written before any change")
        self.lower_opacity_with_the_keyboard(app)
        text, settings = self.read_config(app, lambda s: s.get("opacity") == 0.1, "opacity 0.1 in config.json")
        self.assert_written_whole(text, settings)
        # The harness's own files turn the minimum contrast off; a new user's starts at 4.5.
        self.assertEqual({k: v for k, v in settings.items() if k not in ("opacity", "minimumContrast")},
                         {k: v for k, v in DEFAULT_SETTINGS.items() if k not in ("opacity", "minimumContrast")})
        self.assertEqual(settings["minimumContrast"], 4.5)
        first = os.stat(app.home.config_path).st_ino
        app.key("End")  # the slider's right end: full opacity again
        text, settings = self.read_config(app, lambda s: s.get("opacity") == 1, "opacity 1 in config.json")
        self.assert_written_whole(text, settings)
        # Replaced by a new file moved into place, not rewritten in place; nothing left beside it.
        self.assertNotEqual(os.stat(app.home.config_path).st_ino, first)
        self.assertEqual(os.listdir(os.path.dirname(app.home.config_path)), ["config.json"])
        self.assertTrue(app.alive())

    def test_an_edit_made_elsewhere_reaches_the_running_window(self):
        app = self.launch()
        resize_window(app, 1100, 760)
        default_size = stty_size(app, "size.txt")
        app.home.write_config(fontSize=20)  # as an editor or another window saves it
        sizes = iter(range(1000))
        changed = wait_until(lambda: (lambda size: size != default_size and size)(
            stty_size(app, f"size{next(sizes)}.txt")), 30, "the grid to follow the larger font")
        metrics = measure_cells(app)
        self.assertEqual(changed, grid_rule(*visible_area(app), *metrics))
        self.assertLess(changed[1], default_size[1])

    def test_a_corrupt_file_gives_the_defaults_and_stays_until_the_user_replaces_it(self):
        home = self.new_home()
        home.write(".config/Vitrion/config.json", CORRUPT)
        before = os.stat(home.config_path)
        app = self.launch(home=home)
        # The font size 20 in the broken file is not used: the cells are a 14-pixel font's (a
        # monospace advance is about 0.6 em), and the grid follows them.
        metrics = measure_cells(app)
        self.assertAlmostEqual(metrics.advance, 14 * 0.6, delta=0.8)
        self.assertEqual(stty_size(app, "size.txt"), grid_rule(*visible_area(app), *metrics))

        # A change in the panel applies but is not written over the file: the panel says so first,
        # its Replace File button standing between Done and the material picker.
        app.open_settings_panel()
        app.key("Tab", "Tab", "Tab", "Home")
        app.key("Escape")
        app.focus()
        app.command("true")
        self.assertEqual(file_text(home.config_path), CORRUPT)
        after = os.stat(home.config_path)
        self.assertEqual((after.st_ino, after.st_mtime_ns), (before.st_ino, before.st_mtime_ns))

        app.open_settings_panel()
        app.key("alt+r")  # Replace File
        text, settings = self.read_config(app, lambda s: s.get("opacity") == 0.1, "the file to be replaced")
        self.assert_written_whole(text, settings)
        self.assertEqual(settings["fontSize"], 14)
        self.assertEqual(file_text(home.config_path + ".unreadable"), CORRUPT)
