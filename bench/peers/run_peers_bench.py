#!/usr/bin/python3
# Vitrion side by side with the terminals people already use, in one run on one private Xvfb:
# without a compositor, then under picom. For each terminal in turn (alone on the display), the
# start to its first painted frame and to the shell's first output, then every workload timed by
# the shell inside it, each run followed by the same command on a plain pty that the raw drain
# reads as fast as it fills; and the terminal's peak resident memory.
#   run_peers_bench.py --binary app/vitrion --raw-drain bench/window/vitrion_window_raw_drain
import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
sys.path.insert(0, HERE)

import terminals  # noqa: E402
import workloads  # noqa: E402
from report import markdown  # noqa: E402
from screen import Screen  # noqa: E402
from vitrion_e2e.home import Home  # noqa: E402
from vitrion_e2e.processes import ProcessTable, become_subreaper, cpu_seconds, descendants_of  # noqa: E402
from vitrion_e2e.waiting import file_text, wait_until  # noqa: E402
from vitrion_e2e.xstack import XStack  # noqa: E402

# The shell every terminal starts reads this (interactive: .bashrc; a login shell: .bash_profile,
# which reads it). It prints a bar of inverse spaces, the output the start-up figure waits for,
# then runs the lines the benchmark writes to a FIFO, so nothing is typed and no key is echoed.
DRIVER = r"""# Written by the peers benchmark.
PS1='$ '
printf '\033[7m%40s\033[m\n' ''
echo $$ > "$HOME/.shell-pid"
stty size > "$HOME/.size.tmp" && mv "$HOME/.size.tmp" "$HOME/.size"
while :; do
    IFS= read -r line < "$HOME/.commands" || continue
    [ "$line" = quit ] && exit 0
    eval "$line"
done
"""


class Session:
    """One terminal started in its own HOME on the desktop."""

    def __init__(self, bench, terminal, label):
        self.bench, self.terminal = bench, terminal
        self.home = Home(bench.workdir, label)
        self.home.write(".bashrc", DRIVER)
        self.home.write(".bash_profile", ". \"$HOME/.bashrc\"\n")
        os.mkfifo(self.home.file(".commands"))
        terminal.configure(self.home, bench.composited)
        self.env = bench.xstack.env(HOME=self.home.path, SHELL="/bin/bash")
        self.name = label
        self.proc = None

    def launch(self):
        self.proc = self.bench.procs.start(self.name, self.terminal.argv(self.home, self.bench.composited),
                                           env=self.env, cwd=self.home.path)
        return self.proc

    def stop(self):
        if self.proc is not None:
            self.bench.procs.stop(self.proc)
            self.proc = None

    def send(self, line, timeout=60):
        """Hands the shell one command line (it reads the FIFO only between commands)."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                fd = os.open(self.home.file(".commands"), os.O_WRONLY | os.O_NONBLOCK)
                break
            except OSError:  # no reader yet: the shell is still running the previous line
                if time.monotonic() > deadline:
                    raise RuntimeError(f"{self.terminal.name}: the shell did not come back for {line!r}")
                time.sleep(0.005)
        try:
            os.write(fd, (line + "\n").encode())
        finally:
            os.close(fd)

    def shell_pid(self):
        text = file_text(self.home.file(".shell-pid"))
        return int(text) if text and text.strip().isdigit() else None

    def grid(self):
        rows, columns = file_text(self.home.file(".size")).split()
        return int(rows), int(columns)

    def reread_grid(self):
        os.unlink(self.home.file(".size"))
        self.send('stty size > "$HOME/.size.tmp" && mv "$HOME/.size.tmp" "$HOME/.size"')
        wait_until(lambda: os.path.exists(self.home.file(".size")), 20, "the shell to write its size")
        return self.grid()

    def own_pids(self, window_pid):
        """The terminal's processes: the window's owner and what runs below it, less the shell."""
        shell = self.shell_pid()
        below_shell = set(descendants_of(shell)) | {shell} if shell else set()
        pids = [window_pid] + descendants_of(window_pid)
        return [pid for pid in pids if pid not in below_shell]


def status_kb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Bench:
    def __init__(self, args, workdir, composited):
        self.args, self.workdir, self.composited = args, workdir, composited
        self.procs = ProcessTable(workdir)
        self.xstack = XStack(self.procs, workdir, compositor=composited).start()
        self.screen = Screen(self.xstack.display)

    def close(self):
        self.screen.close()
        self.procs.stop_all()

    def wait_for_client(self, session, timeout=60):
        def found():
            if session.proc.poll() is not None:
                raise RuntimeError(f"{session.terminal.name} exited with {session.proc.returncode}; "
                                   f"see {self.procs.log_path(session.name)}")
            clients = self.screen.clients()
            return clients[-1] if clients else None

        return wait_until(found, timeout, f"the window of {session.terminal.name}", interval=0.001)

    # --- start-up ---------------------------------------------------------------------------
    def startup(self, terminal, index):
        """Seconds from the launch to the first frame that shows the window's settled background
        at its centre, and to the shell's bar of inverse spaces in the window's top quarter, both
        read from the window's own pixels over one X connection every millisecond or so."""
        session = Session(self, terminal, f"{terminal.name}-start{index}")
        samples = []  # (seconds, centre pixel)
        output = None
        start = time.monotonic()
        session.launch()
        try:
            window = self.wait_for_client(session)
            while output is None:
                now = time.monotonic() - start
                if now > 60:
                    raise RuntimeError(f"{terminal.name}: no output within 60 s")
                size = self.screen.window_size(window)
                if size and size[0] > 1 and size[1] > 1:
                    pixel = self.screen.pixel(window, size[0] // 2, size[1] // 2)
                    if pixel is not None:
                        samples.append((now, pixel))
                    bright = self.screen.bright_pixels(window, 0, 0, size[0], max(1, size[1] // 4))
                    if bright is not None and bright > 600:
                        output = now
                time.sleep(0.001)
            # The settled background: the centre pixel once the shell's output is there.
            time.sleep(0.3)
            size = self.screen.window_size(window)
            settled = self.screen.pixel(window, size[0] // 2, size[1] // 2)
            frame = next((t for t, p in samples if max(abs(a - b) for a, b in zip(p, settled)) <= 6), output)
        finally:
            session.stop()
            wait_until(lambda: not self.screen.clients(), 20, "the window to go")
        return frame, output

    # --- throughput -------------------------------------------------------------------------
    def size_to_80x24(self, session, window):
        """Resizes the window through the window manager until the shell sees 80 x 24 (for the
        terminals that take no grid size at start)."""
        for _ in range(8):
            rows, columns = session.grid()
            if (rows, columns) == (24, 80):
                return
            width, height = self.screen.window_size(window)
            width += round((80 - columns) * terminals.PIXELS * 0.6)
            height += round((24 - rows) * terminals.PIXELS * 1.2)
            subprocess.run(["xdotool", "windowsize", "--sync", str(window), str(width), str(height)],
                           env=self.xstack.env(), timeout=15, check=False)
            time.sleep(0.3)
            session.reread_grid()
        raise RuntimeError(f"{session.terminal.name}: could not size the grid to 80 x 24 "
                           f"(now {session.grid()})")

    def settle(self, pids, quiet=0.2, limit=10.0):
        """Waits until none of the processes has used CPU for `quiet` seconds (at most `limit`)."""
        deadline = time.monotonic() + limit

        def used():
            total = []
            for pid in pids:
                try:
                    total.append(cpu_seconds(pid))
                except ProcessLookupError:
                    total.append(None)
            return total

        last = used()
        while time.monotonic() < deadline:
            time.sleep(quiet)
            now = used()
            if now == last:
                return
            last = now

    def timed_in(self, session, command, result, busy):
        line = f"TIMEFORMAT=%3R; {{ time {command}; }} 2> {result}.tmp; mv {result}.tmp {result}"
        self.settle(busy)
        session.send(line)
        text = wait_until(lambda: file_text(result), 900, f"the time in {result}", interval=0.01)
        return float(text.strip().splitlines()[-1])

    def raw(self, command, result):
        line = f"TIMEFORMAT=%3R; {{ time {command}; }} 2> {result}"
        subprocess.run([self.args.raw_drain, "24", "80", line], cwd=self.workdir, check=True,
                       stdout=subprocess.DEVNULL, timeout=900)
        return float(file_text(result).strip().splitlines()[-1])

    def throughput(self, terminal, loads):
        session = Session(self, terminal, f"{terminal.name}-load")
        session.launch()
        try:
            window = self.wait_for_client(session)
            wait_until(lambda: os.path.exists(session.home.file(".size")), 60, "the shell to start")
            time.sleep(0.5)  # some terminals start the shell before their window has its size
            session.reread_grid()
            self.size_to_80x24(session, window)
            window_pid = self.screen.pid_of(window) or session.proc.pid
            busy = [p.pid for p in (self.xstack.xvfb, self.xstack.compositor) if p] + session.own_pids(window_pid)
            cell = [round(v / n, 2) for v, n in zip(self.screen.window_size(window), (80, 24))]
            times = {key: ([], []) for key, _, _ in loads}
            for run in range(self.args.runs):
                for key, name, command in loads:
                    ours = self.timed_in(session, command, session.home.file(f"t-{run}-{key}"), busy)
                    raw = self.raw(command, os.path.join(self.workdir, f"r-{terminal.name}-{run}-{key}"))
                    if run == 0 and key == loads[0][0] and self.args.shots:
                        subprocess.run(["import", "-window", "root", os.path.join(
                            self.args.shots, f"{'picom' if self.composited else 'none'}-{terminal.name}.png")],
                            env=self.xstack.env(), timeout=30, check=False)
                    times[key][0].append(ours)
                    times[key][1].append(raw)
                    print(f"  run {run + 1}: {name}: {terminal.name} {ours:.3f} s, raw pty {raw:.3f} s", flush=True)
            pids = session.own_pids(window_pid)
            peak = sum(status_kb(pid, "VmHWM") for pid in pids) / 1024
            names = sorted({open(f"/proc/{pid}/comm").read().strip() for pid in pids if os.path.exists(f"/proc/{pid}")})
            session.send("quit")
        finally:
            session.stop()
            wait_until(lambda: not self.screen.clients(), 20, "the window to go")
        return {"times": times, "peak_mb": peak, "processes": names, "window_per_cell": cell}


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def machine():
    cpu = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        memory = int(f.readline().split()[1]) / 1024 / 1024
    return f"{os.cpu_count()} × {cpu}, {memory:.1f} GiB, {platform.freedesktop_os_release().get('PRETTY_NAME', '?')}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True, help="the vitrion program")
    parser.add_argument("--raw-drain", required=True, help="vitrion_window_raw_drain")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--mib", type=int, default=8, help="size of each file workload")
    parser.add_argument("--seq", type=int, default=1000000, help="the last number seq prints")
    parser.add_argument("--only", default="", help="comma-separated terminal names (default: all found)")
    parser.add_argument("--conditions", default="none,picom", help="none, picom or both (comma-separated)")
    parser.add_argument("--json", default="", help="write the raw figures here")
    parser.add_argument("--out", default="", help="write the Markdown tables here")
    parser.add_argument("--install-peers", action="store_true",
                        help="first install the peers from Debian's packages (install-peers.sh, as root or through sudo)")
    parser.add_argument("--vitrion-label", default="", help="what the binary was built from (default: HEAD)")
    parser.add_argument("--shots", default="", help="save a screenshot of each terminal here")
    args = parser.parse_args()
    args.binary, args.raw_drain = os.path.abspath(args.binary), os.path.abspath(args.raw_drain)
    if args.shots:
        args.shots = os.path.abspath(args.shots)
        os.makedirs(args.shots, exist_ok=True)
    if args.install_peers:
        subprocess.run(["sh", os.path.join(HERE, "install-peers.sh")], check=True)
    become_subreaper()

    commit = subprocess.run(["git", "-C", HERE, "rev-parse", "--short", "HEAD"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True).stdout.strip() or "?"
    every = [terminals.Vitrion(args.binary, args.vitrion_label or f"commit {commit}")] + terminals.peers()
    wanted = set(filter(None, args.only.split(",")))
    chosen = [t for t in every if t.available() and (not wanted or t.name in wanted)]
    missing = [t.name for t in every if not t.available()]
    if missing:
        print(f"not installed (bench/peers/install-peers.sh installs them): {', '.join(missing)}", flush=True)

    workdir = tempfile.mkdtemp(prefix="vitrion-peers-bench-")
    data = os.path.join(workdir, "data")
    os.makedirs(data)
    loads = workloads.make(data, args.mib, args.seq)
    results = {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "machine": machine(), "commit": commit, "runs": args.runs, "mib": args.mib, "seq": args.seq,
        "versions": {t.name: t.version() for t in chosen} | {"picom": terminals.package_version("picom"),
                                                             "Xvfb": terminals.package_version("xvfb")},
        "translucent": [t.name for t in chosen if t.translucent],
        "workloads": [(key, name) for key, name, _ in loads], "conditions": {},
    }
    try:
        for condition in filter(None, args.conditions.split(",")):
            composited = condition == "picom"
            bench = Bench(args, workdir, composited)
            figures = results["conditions"].setdefault(condition, {"terminals": {}, "load": []})
            order = chosen if not composited else [chosen[0]] + chosen[:0:-1]
            try:
                for terminal in order:
                    print(f"{condition}: {terminal.name} (load average {loadavg()})", flush=True)
                    figures["load"].append(loadavg())
                    starts = [bench.startup(terminal, i) for i in range(args.runs)]
                    print("  start: " + ", ".join(f"{f * 1000:.0f}/{o * 1000:.0f} ms" for f, o in starts), flush=True)
                    entry = bench.throughput(terminal, loads)
                    entry["starts"] = starts
                    figures["terminals"][terminal.name] = entry
                    print(f"  peak {entry['peak_mb']:.1f} MB ({', '.join(entry['processes'])})", flush=True)
            finally:
                bench.close()
            figures["load"].append(loadavg())
    finally:
        if args.json:
            with open(args.json, "w") as f:
                json.dump(results, f, indent=1)
        subprocess.run(["rm", "-rf", workdir])
    text = markdown(results)
    print("\n" + text, flush=True)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
