# Control keys reach the shell as a user types them: Ctrl+C interrupts the foreground job, Ctrl+D
# ends input, and the arrows, Home and End move through and edit bash's command line.
from vitrion_e2e.case import DesktopCase
from vitrion_e2e.processes import commands_of, descendants_of
from vitrion_e2e.waiting import file_text, wait_until


class ControlKeysTest(DesktopCase):
    def setUp(self):
        super().setUp()
        self.app = self.launch()

    def job_of(self, name):
        shell = self.app.shell_pid()
        return [pid for pid, comm in commands_of(descendants_of(shell)) if comm == name]

    def test_ctrl_c_interrupts_the_foreground_job(self):
        app = self.app
        before = app.prompts()
        app.type("sleep 100")
        app.key("Return")
        sleeper = wait_until(lambda: self.job_of("sleep"), 20, "sleep to run under the shell")[0]
        app.key("ctrl+c")
        app.wait_for_prompt(before, timeout=20)
        wait_until(lambda: not self.job_of("sleep"), 10, "sleep to be gone")
        app.command("echo $? > status.txt")
        # 128 + SIGINT: the job died of the interrupt, it did not run out its 100 seconds.
        self.assertEqual(app.wait_for_file("status.txt"), "130\n", f"sleep {sleeper} was not interrupted")

    def test_ctrl_d_ends_input_to_cat(self):
        app = self.app
        before = app.prompts()
        app.type("cat > typed.txt")
        app.key("Return")
        wait_until(lambda: self.job_of("cat"), 20, "cat to run under the shell")
        app.type("first line")
        app.key("Return")
        app.type("second")
        # A first Ctrl+D hands over the unfinished line, a second one at the line's start is the end.
        app.key("ctrl+d", "ctrl+d")
        app.wait_for_prompt(before, timeout=20)
        self.assertEqual(file_text(app.home.file("typed.txt")), "first line\nsecond")

    def test_arrows_home_and_end_edit_the_command_line(self):
        app = self.app
        before = app.prompts()
        app.type("cho AC > edit.txt")
        app.key("Home")
        app.type("e")  # echo AC > edit.txt, the cursor after the e
        app.key("End", *["Left"] * 12)
        app.type("B")  # echo ABC > edit.txt
        app.key("Left", "Left", "Right", "Right", "Right")
        app.type("D")  # echo ABCD > edit.txt
        app.key("Return")
        app.wait_for_prompt(before)
        self.assertEqual(app.wait_for_file("edit.txt"), "ABCD\n")
        # Up brings the line back from the history; BackSpace edits its end.
        before = app.prompts()
        app.key("Up", "End", *["BackSpace"] * len("edit.txt"))
        app.type("again.txt")
        app.key("Return")
        app.wait_for_prompt(before)
        self.assertEqual(app.wait_for_file("again.txt"), "ABCD\n")
