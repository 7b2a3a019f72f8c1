# The base of every end-to-end test class: one private desktop per class, a fresh home per run of the
# program, every process ended by pid in tearDown/tearDownClass, and screenshots and logs kept for a
# failed case under the artifacts folder.
import os
import shutil
import tempfile
import unittest

from .app import App
from .home import Home
from .processes import ProcessTable
from .xstack import XStack, missing_tools



class DesktopCase(unittest.TestCase):
    compositor = True
    screen_size = (1280, 1024)

    @classmethod
    def program(cls):
        return os.environ.get("VITRION_BINARY", "")

    @classmethod
    def setUpClass(cls):
        missing = missing_tools()
        if missing:
            raise unittest.SkipTest("missing tools for the real-X tests: " + ", ".join(missing))
        cls.binary = cls.program()
        if not cls.binary or not os.access(cls.binary, os.X_OK):
            raise unittest.SkipTest(f"program under test not found: {cls.binary!r}")
        cls.workdir = tempfile.mkdtemp(prefix=f"vitrion-e2e-{cls.__name__}-")
        cls.procs = ProcessTable(cls.workdir)
        try:
            cls.xstack = XStack(cls.procs, cls.workdir, *cls.screen_size, compositor=cls.compositor).start()
        except Exception as error:
            cls.procs.stop_all()
            if "Xvfb" in str(error):
                raise unittest.SkipTest(f"Xvfb cannot start here: {error}")
            raise

    @classmethod
    def tearDownClass(cls):
        cls.procs.stop_all()
        failed = getattr(cls, "_keep_workdir", False)
        artifacts = os.environ.get("VITRION_E2E_ARTIFACTS", "")
        if failed and artifacts:
            target = os.path.join(artifacts, cls.__name__)
            shutil.rmtree(target, ignore_errors=True)
            shutil.copytree(cls.workdir, target, symlinks=True, ignore_dangling_symlinks=True,
                            ignore=shutil.ignore_patterns("*.bin", "random*", "big*", "paste*"))
        shutil.rmtree(cls.workdir, ignore_errors=True)

    def setUp(self):
        self.apps = []

    def tearDown(self):
        if self._failed():
            type(self)._keep_workdir = True
            for app in self.apps:
                if app.proc is not None and app.alive() and app.window:
                    try:
                        self.save_image(app.capture(), f"{app.name}-at-failure")
                    except Exception:
                        pass
        for app in reversed(self.apps):
            if app.proc is not None:
                self.procs.stop(app.proc)

    def _failed(self):
        # Python 3.11 records a failure in the result at once and leaves the outcome's success flag
        # set until the test ends, so the result is what tells.
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        if not outcome.success:
            return True
        result = outcome.result
        return result is not None and any(test is self for test, _ in result.failures + result.errors)

    def new_home(self):
        return Home(self.workdir, self._testMethodName)

    def launch(self, home=None, shell="/bin/bash", wait_for_shell=True, args=(), title="Vitrion", **env):
        home = home or self.new_home()
        app = App(self, home, shell=shell, name=f"vitrion-{self._testMethodName}-{len(self.apps)}", extra_env=env,
                  args=args, title=title)
        self.apps.append(app)
        return app.start(wait_for_shell=wait_for_shell)

    def save_image(self, image, label):
        path = os.path.join(self.workdir, f"{self._testMethodName}-{label}.png")
        image.save_png(path)
        type(self)._keep_workdir = True
        return path
