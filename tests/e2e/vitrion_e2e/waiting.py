# Waiting for conditions with a deadline, never for a fixed time: the harness polls what a user
# could observe (a file, a pixel, a process) until it holds or the deadline passes.
import time


class ConditionTimeout(AssertionError):
    pass


def wait_until(condition, timeout, what, interval=0.05):
    """Polls condition() until it returns a truthy value, which is returned. On timeout raises
    ConditionTimeout naming what was awaited and the last value or error seen."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = condition()
            if value:
                return value
            last = value
        except (OSError, ValueError) as error:
            last = error
        if time.monotonic() >= deadline:
            raise ConditionTimeout(f"timed out after {timeout:.0f} s waiting for {what} (last: {last!r})")
        time.sleep(interval)


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def file_text(path):
    """The file's text, or None while it does not exist."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return None
