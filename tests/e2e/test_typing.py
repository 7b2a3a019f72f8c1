# Typing a command line in bash and in sh: the shell runs it (it writes the file) and the window
# shows the typed line and the command's output in the text colour.
from vitrion_e2e import cells
from vitrion_e2e.case import DesktopCase

COMMAND = "echo ok | tee out.txt"


class TypingTest(DesktopCase):
    def check_typed_command(self, shell):
        app = self.launch(shell=shell)
        app.calibrate()
        # The calibration leaves the prompt on row 3.
        app.type(COMMAND)
        app.key("Return")
        self.assertEqual(app.wait_for_file("out.txt", lambda text: text.endswith("\n")), "ok\n")
        image = app.wait_for_row(3, "$ " + COMMAND)
        app.wait_for_row(4, "ok")
        # The ink is the text colour, not just anything brighter than the glass.
        for row, text in ((3, "$ " + COMMAND), (4, "ok")):
            self.assertGreater(app.grid.text_color_pixels(image, row, len(text)), 4 * len(text.replace(" ", "")),
                               f"row {row} is not drawn in the text colour")
        return app

    def test_bash_runs_the_typed_line_and_shows_it(self):
        self.check_typed_command("/bin/bash")

    def test_sh_runs_the_typed_line_and_shows_it(self):
        app = self.check_typed_command("/bin/sh")
        self.assertTrue(app.alive())
