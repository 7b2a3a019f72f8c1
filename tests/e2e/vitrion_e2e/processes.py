# Every process the end-to-end harness starts, and the guarantee that each one is ended by pid,
# on success, on failure, on a timeout signal and even when the harness itself is killed.
import atexit
import ctypes
import os
import signal
import subprocess
import time

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def _die_with_harness():
    # Runs in the child between fork and exec: if the harness dies (even by SIGKILL from a test
    # runner's timeout), the kernel sends SIGKILL to this child.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def become_subreaper():
    """Orphans of our children (shells whose terminal died) are re-parented to the harness, so the
    final sweep still finds them by pid."""
    _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


_CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def _stat_fields(pid):
    """The fields of /proc/pid/stat after the command name (state first), or None when it is gone."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read()
    except OSError:
        return None
    # The command name is in parentheses and may itself contain spaces or parentheses.
    return stat[stat.rfind(b")") + 2:].split()


def parent_of(pid):
    fields = _stat_fields(pid)
    return None if fields is None else int(fields[1])


def process_state(pid):
    fields = _stat_fields(pid)
    return None if fields is None else fields[0].decode()


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    fields = _stat_fields(pid)
    if fields is None:
        raise ProcessLookupError(pid)
    return (int(fields[11]) + int(fields[12])) / _CLOCK_TICKS


def cpu_seconds_exact(pid):
    """The time the process's threads have run so far, from the scheduler's own clock: exact, where
    cpu_seconds counts clock ticks (a few ms each), which a process that wakes thousands of times a
    second for a moment each time gets charged for by chance. Threads that have ended no longer count."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                    total += int(f.read().split()[0])
            except (OSError, ValueError, IndexError):
                pass
    except OSError:
        raise ProcessLookupError(pid)
    return total / 1e9


def children_of(pid):
    kids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit() and parent_of(int(entry)) == pid:
            kids.append(int(entry))
    return kids


def commands_of(pids):
    """(pid, command name) for each of pids that still exists."""
    names = []
    for pid in pids:
        try:
            with open(f"/proc/{pid}/comm") as f:
                names.append((pid, f.read().strip()))
        except OSError:
            pass
    return names


def descendants_of(pid):
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            ppid = parent_of(int(entry))
            if ppid is not None:
                table.setdefault(ppid, []).append(int(entry))
    found, queue = [], [pid]
    while queue:
        for kid in table.get(queue.pop(), []):
            found.append(kid)
            queue.append(kid)
    return found


def _signal_pid(pid, sig):
    try:
        os.kill(pid, sig)
    except ProcessLookupError:
        pass


def _reap(pids):
    # Collect the exit statuses of killed orphans that were re-parented to us; never blocks, and
    # never touches a child that a Popen object still tracks.
    for pid in pids:
        try:
            os.waitpid(pid, os.WNOHANG)
        except ChildProcessError:
            pass


class ProcessTable:
    """Starts processes in their own process groups and ends them by pid, newest first."""

    def __init__(self, log_dir):
        self.log_dir = log_dir
        self.entries = []  # (name, Popen)
        atexit.register(self.stop_all)

    def start(self, name, argv, env, cwd=None, stdin=subprocess.DEVNULL, pass_fds=()):
        out = open(os.path.join(self.log_dir, f"{name}.log"), "ab")
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=stdin, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True, preexec_fn=_die_with_harness, pass_fds=pass_fds)
        out.close()
        self.entries.append((name, proc))
        return proc

    def log_path(self, name):
        return os.path.join(self.log_dir, f"{name}.log")

    def stop(self, proc, grace=3.0):
        """Ends proc and everything below it, by pid: SIGTERM, a grace period, then SIGKILL."""
        if proc.poll() is None:
            below = descendants_of(proc.pid)
            _signal_pid(proc.pid, signal.SIGTERM)
            try:
                proc.wait(timeout=grace)
            except subprocess.TimeoutExpired:
                _signal_pid(proc.pid, signal.SIGKILL)
                proc.wait(timeout=10)
        else:
            below = descendants_of(proc.pid)
        self._end_pids(below)
        self.entries = [(n, p) for (n, p) in self.entries if p is not proc]

    def _end_pids(self, pids):
        for pid in pids:
            _signal_pid(pid, signal.SIGHUP)
        deadline = time.monotonic() + 2.0
        while time.monotonic() < deadline and any(process_state(p) not in (None, "Z") for p in pids):
            time.sleep(0.02)
        for pid in pids:
            if process_state(pid) not in (None, "Z"):
                _signal_pid(pid, signal.SIGKILL)
        _reap(pids)

    def stop_all(self):
        for _, proc in reversed(list(self.entries)):
            try:
                self.stop(proc)
            except Exception:  # keep ending the others
                _signal_pid(proc.pid, signal.SIGKILL)
        self.entries = []
        # Orphans re-parented to the harness (it is a subreaper) are ours to end too.
        self._end_pids(descendants_of(os.getpid()))
