#!/usr/bin/python3
# The real-window benchmark: the built program on the end-to-end harness's desktop (Xvfb, openbox,
# picom), fed by the shell running in it. Each workload is `cat` of a 32 MiB file (or `seq 1 3000000`)
# timed by bash's `time` inside the window and, interleaved in the same run, by the same command on a
# plain pty that vitrion_window_raw_drain reads as fast as it fills. Also: the program's peak resident
# memory, and the time from starting it to its first painted frame and to the shell's first prompt.
#   run_window_bench.py --binary app/vitrion --raw-drain bench/window/vitrion_window_raw_drain [--runs 5]
import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

from vitrion_e2e import cells  # noqa: E402
from vitrion_e2e.app import App  # noqa: E402
from vitrion_e2e.home import Home  # noqa: E402
from vitrion_e2e.processes import ProcessTable, become_subreaper, cpu_seconds, cpu_seconds_exact  # noqa: E402
from vitrion_e2e.waiting import file_text, wait_until  # noqa: E402
from vitrion_e2e.xlib import Display  # noqa: E402
from vitrion_e2e.xstack import XStack  # noqa: E402

ASCII = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:-_()[]{}/+*=#"
UTF8 = "àéîõüçñßøåæœÀÉÎÕÜαβγδεζηθλμπσφψωΑΒΓΔΩ漢字仮名交文書語日本中国한국어" + "abcdefghij"


def fill(path, size, line, seed):
    """Writes lines made by line(rng), a pool of 2000 of them in a seeded order, as many whole lines
    as fit in size bytes. A line cut at the end would leave its escape sequence or character
    unfinished: an SGR-heavy file cut after a colour left every later command in that window
    printing in it."""
    rng = random.Random(seed)
    pool = [line(rng).encode() for _ in range(2000)]
    written = 0
    with open(path, "wb") as f:
        while True:
            each = rng.choice(pool)
            if written + len(each) > size:
                return
            f.write(each)
            written += len(each)


def dense_line(rng):
    return "".join(" " if rng.random() < 1 / 6 else rng.choice(ASCII) for _ in range(80)) + "\n"


def sgr_line(rng):
    parts = [f"\033[38;5;{rng.randrange(256)}m" + "".join(rng.choice(ASCII) for _ in range(4)) for _ in range(20)]
    return "".join(parts) + "\033[0m\n"


def utf8_line(rng):
    return "".join(rng.choice(UTF8) for _ in range(80)) + "\n"


class Desktop:
    """What App expects of its case: the desktop, the process table and the program."""

    def __init__(self, binary, workdir, compositor=True):
        self.binary, self.workdir = binary, workdir
        self.procs = ProcessTable(workdir)
        self.xstack = XStack(self.procs, workdir, compositor=compositor).start()

    def save_image(self, image, label):
        path = os.path.join(self.workdir, f"bench-{label}.png")
        image.save_png(path)
        return path


def timed(command, result):
    return f"TIMEFORMAT=%3R; {{ time {command}; }} 2> {result}"


def read_seconds(path):
    text = wait_until(lambda: (lambda t: t and t.endswith("\n") and t)(file_text(path)), 600, f"the time in {path}")
    return float(text.strip().splitlines()[-1])


def settle(pids, quiet=0.2, limit=10.0):
    """Waits until none of the processes has used CPU for `quiet` seconds (at most `limit`): the
    X server and the compositor done with the typed command's echo, which under a blur is tens of
    milliseconds per key and would otherwise still be running while the output is timed."""
    deadline = time.monotonic() + limit
    last = [cpu_seconds(pid) for pid in pids]
    while time.monotonic() < deadline:
        time.sleep(quiet)
        now = [cpu_seconds(pid) for pid in pids]
        if now == last:
            return
        last = now


def busy_pids(app):
    """The program, the X server and the compositor (when one runs), in that order."""
    return [proc.pid for proc in (app.proc, app.case.xstack.xvfb, app.case.xstack.compositor) if proc]


def in_window(app, command, result):
    """The command's seconds inside the window, and the CPU seconds the program, the X server and the
    compositor used from Return to the next prompt: where a slower run's time went."""
    before = app.prompts()
    app.type(timed(command, result))
    pids = busy_pids(app)
    settle(pids)
    cpu = [cpu_seconds_exact(pid) for pid in pids]
    app.key("Return")
    seconds = read_seconds(result)
    app.wait_for_prompt(before, timeout=300)
    return seconds, [cpu_seconds_exact(pid) - start for pid, start in zip(pids, cpu)]


def raw_drain(drain, rows, columns, command, result, cwd):
    subprocess.run([drain, str(rows), str(columns), timed(command, result)], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, timeout=600)
    return read_seconds(result)


def first_frame_and_prompt(desktop, label):
    """Seconds from starting the program to its window's first painted frame (the window's own
    pixels show the glass's tint), to that frame on the screen (composited, where a compositor
    runs) and to the shell's first prompt. The window is found and its pixels read over one X
    connection of this process, every millisecond or so, so the figure is not the start-up time of
    the tools that would otherwise look."""
    home = Home(desktop.workdir, label)
    app = App(desktop, home, name=f"vitrion-{label}")
    env = app.env
    frame = shown = prompt = None
    window = None
    with Display(env["DISPLAY"]) as display:
        start, wall_start = time.monotonic(), time.time()
        app.proc = desktop.procs.start(app.name, [desktop.binary], env=env, cwd=home.path)
        while frame is None or shown is None or prompt is None:
            now = time.monotonic() - start
            if now > 60:
                raise RuntimeError(f"no frame or prompt within 60 s ({frame}, {shown}, {prompt})")
            if prompt is None and os.path.exists(home.file(".e2e-prompts")):
                # Written by the shell just before its first prompt: its time stamp is exact.
                prompt = os.stat(home.file(".e2e-prompts")).st_mtime - wall_start
            if frame is None:
                if window is None:
                    window = display.window_of_pid(app.proc.pid)
                size = display.window_size(window) if window is not None else None
                if size is not None and size[0] > 0 and size[1] > 0:
                    pixel = display.pixel(window, size[0] // 2, size[1] // 2)
                    if pixel is not None and cells.close_to(pixel, cells.DEFAULT_GLASS, 12):
                        frame = time.monotonic() - start
            if frame is not None and shown is None:
                corner = display.screen_position(window)
                size = display.window_size(window)
                if corner is not None and size is not None:
                    pixel = display.screen_pixel(corner[0] + size[0] // 2, corner[1] + size[1] // 2)
                    if pixel is not None and cells.close_to(pixel, cells.DEFAULT_GLASS, 12):
                        shown = time.monotonic() - start
            time.sleep(0.001 if shown is None else 0.005)
    desktop.procs.stop(app.proc)
    return frame, shown, prompt


def median_table(rows):
    lines = ["| Workload | Vitrion s (median) | raw pty s (median) | Vitrion / raw | per-run ratios |",
             "|---|---:|---:|---:|---|"]
    for name, ours, raw in rows:
        ratios = ", ".join(f"{o / r:.2f}" for o, r in zip(ours, raw))
        lines.append(f"| {name} | {statistics.median(ours):.3f} | {statistics.median(raw):.3f} | "
                     f"{statistics.median(ours) / statistics.median(raw):.2f}x | {ratios} |")
    return "\n".join(lines)


def make_workloads(data, mib, last):
    workloads = []
    for kind, maker, seed in (("dense text", dense_line, 1), ("SGR-heavy text", sgr_line, 2),
                              ("UTF-8 text", utf8_line, 3)):
        path = os.path.join(data, f"w{seed}.txt")
        fill(path, mib << 20, maker, seed)
        workloads.append((f"{mib} MiB {kind}", f"cat {path}"))
    workloads.append((f"seq 1 {last}", f"seq 1 {last}"))
    return workloads


def throughput(desktop, workloads, runs, drain, baseline=None):
    """The workloads in one window, each run followed by the raw drain of the same command (and by the
    same command in a window of the baseline binary, when one is given)."""
    home = Home(desktop.workdir, "bench")
    app = App(desktop, home, name="vitrion-bench").start()
    app.command("stty size > size.txt")
    rows, columns = (int(v) for v in app.wait_for_file("size.txt").split())
    other = None
    if baseline:
        # The same desktop with the other binary; each window is activated before it is typed into.
        other = App(types.SimpleNamespace(**{**vars(desktop), "binary": baseline}), Home(desktop.workdir, "baseline"),
                    name="vitrion-baseline").start()
        # Both windows on the same spot, so the compositor blends the same area of the backdrop
        # whichever is measured; the one measured is activated, which raises it over the other.
        for each in (app, other):
            each.xdo("windowmove", "--sync", each.window, "40", "40", timeout=15)
    times = {name: ([], []) for name, _ in workloads}
    cpu = {name: [] for name, _ in workloads}
    theirs = {name: ([], []) for name, _ in workloads}
    def baseline_run(run, index, name, command):
        other.focus()
        seconds, used = in_window(other, command, other.home.file(f"b-{run}-{index}.txt"))
        theirs[name][0].append(seconds)
        theirs[name][1].append(used)
        print(f"run {run + 1}: {name}: baseline {seconds:.3f} s, CPU s "
              + " / ".join(f"{u:.3f}" for u in used), flush=True)

    for run in range(runs):
        for index, (name, command) in enumerate(workloads):
            # Which window goes first alternates between runs: whatever the first leaves behind
            # (a busy X server, a cold cache) then falls on both alike.
            first = other and (run + index) % 2 == 0
            if first:
                baseline_run(run, index, name, command)
            if other:
                app.focus()
            ours, used = in_window(app, command, home.file(f"t-{run}-{index}.txt"))
            if other and not first:
                baseline_run(run, index, name, command)
            cpu[name].append(used)
            raw = raw_drain(drain, rows, columns, command, os.path.join(desktop.workdir, f"r-{run}-{index}.txt"),
                            desktop.workdir)
            times[name][0].append(ours)
            times[name][1].append(raw)
            print(f"run {run + 1}: {name}: Vitrion {ours:.3f} s, raw pty {raw:.3f} s, CPU s "
                  + " / ".join(f"{u:.3f}" for u in used), flush=True)
    peak = app.peak_rss_mb()
    busy = "program / X server" + (" / compositor" if app.case.xstack.compositor else "")
    cpu_lines = [f"| Workload | CPU s, {busy} (medians) |", "|---|---|"]
    for name, _ in workloads:
        cpu_lines.append(f"| {name} | " + " / ".join(f"{statistics.median(column):.3f}" for column in zip(*cpu[name]))
                         + " |")
    if other:
        cpu_lines += ["", f"Against the baseline binary {baseline}, in the same runs (medians):", "",
                      f"| Workload | Vitrion s | baseline s | Vitrion / baseline | same run, median | "
                      f"CPU s, {busy}: Vitrion | baseline |",
                      "|---|---:|---:|---:|---:|---|---|"]
        for name, _ in workloads:
            ours_s, base_s = statistics.median(times[name][0]), statistics.median(theirs[name][0])
            # Each run's two windows side by side: a slow spell of the machine falls on both.
            paired = statistics.median(o / b for o, b in zip(times[name][0], theirs[name][0]))
            median_cpu = [" / ".join(f"{statistics.median(column):.3f}" for column in zip(*used))
                          for used in (cpu[name], theirs[name][1])]
            cpu_lines.append(f"| {name} | {ours_s:.3f} | {base_s:.3f} | {ours_s / base_s:.2f}x | {paired:.2f}x | "
                             f"{median_cpu[0]} | {median_cpu[1]} |")
        desktop.procs.stop(other.proc)
    desktop.procs.stop(app.proc)
    return [
        f"Grid {rows} x {columns} (the default 820 x 520 window), {runs} runs, interleaved.",
        "",
        median_table([(name, *times[name]) for name, _ in workloads]),
        "",
        *cpu_lines,
        "",
        f"Peak resident memory of the program over all runs (VmHWM): {peak:.1f} MB",
    ]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--raw-drain", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out", default="")
    parser.add_argument("--mib", type=int, default=32, help="size of each text workload")
    parser.add_argument("--seq", type=int, default=3000000, help="the last number seq prints")
    parser.add_argument("--startup-only", action="store_true", help="only the start-up figures")
    parser.add_argument("--no-compositor", action="store_true", help="without picom, to see its share")
    parser.add_argument("--baseline", default="", help="another build of the program, run in its own window "
                        "on the same spot, before or after each of ours in turn")
    args = parser.parse_args()
    become_subreaper()

    workdir = tempfile.mkdtemp(prefix="vitrion-window-bench-")
    data = os.path.join(workdir, "data")
    os.makedirs(data)
    workloads = [] if args.startup_only else make_workloads(data, args.mib, args.seq)
    desktop = Desktop(os.path.abspath(args.binary), workdir, compositor=not args.no_compositor)
    try:
        starts = [first_frame_and_prompt(desktop, f"start{i}") for i in range(args.runs)]
        report = [] if args.startup_only else throughput(desktop, workloads, args.runs,
                                                         os.path.abspath(args.raw_drain),
                                                         os.path.abspath(args.baseline) if args.baseline else None)
    finally:
        desktop.procs.stop_all()

    def figure(what, values):
        return (f"{what}: median {statistics.median(values) * 1000:.0f} ms "
                f"(runs: {', '.join(f'{v * 1000:.0f}' for v in values)})")

    frames = [f for f, _, _ in starts]
    shown = [s for _, s, _ in starts]
    prompts = [p for _, _, p in starts]
    report += [
        figure("Start to first painted frame (the window's own pixels)", frames),
        figure("Start to that frame on the screen" + ("" if args.no_compositor else ", composited"), shown),
        figure("Start to the shell's first prompt", prompts),
    ]
    print("\n" + "\n".join(report), flush=True)
    if args.out:
        with open(args.out, "w") as f:
            f.write("\n".join(report) + "\n")
    subprocess.run(["rm", "-rf", workdir])
    return 0


if __name__ == "__main__":
    sys.exit(main())
