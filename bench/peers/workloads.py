# The byte streams the peers benchmark sends through every terminal: seeded files, the same bytes on
# every machine and run, each cat'ed by the shell inside the terminal (and `seq` for short lines).
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(ROOT, "bench", "window"))

from run_window_bench import ASCII, dense_line, fill, sgr_line, utf8_line  # noqa: E402

PROGRAMS = os.path.join(ROOT, "tests", "replay", "programs")
RECORDINGS = ("htop", "vim-edit")

# Queries a recorded program sent to the terminal it ran in. Replayed, they would make every
# terminal answer into the shell's input, where the answers would pile up and echo; the raw drain
# answers nothing, so they are taken out for every side alike.
QUERIES = re.compile(
    rb"\x1b\[[>=]?[0-9]*c"  # device attributes
    rb"|\x1b\[\??[0-9]*n"  # status and cursor position reports
    rb"|\x1b\[\??[0-9;]*\$p"  # mode reports
    rb"|\x1b\][0-9]+;\?(?:\x07|\x1b\\)"  # colour queries
    rb"|\x1bP.*?\x1b\\",  # device control strings (terminfo and version requests)
    re.S)


def truecolor_line(rng):
    parts = []
    for _ in range(20):
        r, g, b = (rng.randrange(256) for _ in range(3))
        parts.append(f"\033[38;2;{r};{g};{b}m" + "".join(rng.choice(ASCII) for _ in range(4)))
    return "".join(parts) + "\033[0m\n"


def redraw_screen(rng, rows=24, columns=80):
    """One full-screen redraw as a curses program sends it: per row 1-4 fields, each a cursor
    position and 1-8 characters, a quarter of them followed by erase to the end of the line."""
    out = []
    for row in range(1, rows + 1):
        for _ in range(rng.randint(1, 4)):
            column = rng.randint(1, columns - 8)
            out.append(f"\033[{row};{column}H" + "".join(rng.choice(ASCII) for _ in range(rng.randint(1, 8))))
            if rng.random() < 0.25:
                out.append("\033[K")
    return "".join(out)


def without_queries(data):
    return QUERIES.sub(b"", data)


def program_session():
    """The recorded htop and vim sessions, back to back, without their queries."""
    parts = []
    for case in RECORDINGS:
        with open(os.path.join(PROGRAMS, case, "input.vt"), "rb") as f:
            parts.append(without_queries(f.read()))
    return b"".join(parts)


def repeat_to(path, data, size):
    with open(path, "wb") as f:
        written = 0
        while written < size:
            chunk = data[:size - written]
            f.write(chunk)
            written += len(chunk)


def make(data_dir, mib, last):
    """(name, shell command) for each workload, its file written under data_dir."""
    size = mib << 20
    workloads = []
    for key, name, maker, seed in (("dense", "dense text", dense_line, 1),
                                   ("sgr", "SGR-heavy text", sgr_line, 2),
                                   ("utf8", "UTF-8 text", utf8_line, 3),
                                   ("truecolor", "truecolor text", truecolor_line, 4),
                                   ("redraw", "cursor-addressed redraws", redraw_screen, 5)):
        path = os.path.join(data_dir, f"{key}.txt")
        fill(path, size, maker, seed)
        workloads.append((key, f"{mib} MiB {name}", f"cat {path}"))
    workloads.insert(4, ("seq", f"seq 1 {last}", f"seq 1 {last}"))
    # A quarter of the size: some terminals take seconds per MiB of full-screen switches.
    path = os.path.join(data_dir, "program.vt")
    repeat_to(path, program_session(), size // 4)
    workloads.append(("program", f"{mib / 4:g} MiB of htop + vim replayed", f"cat {path}"))
    return workloads
