#!/usr/bin/python3
# Writes mixed terminal output at full speed for the given number of seconds: colour changes (16,
# 256 and direct colours), cursor movement and erasing, lines far longer than the screen, CJK text
# and plain text. Run by the shell inside the window: mixed_output.py SECONDS [SEED]
import os
import random
import sys
import time

CJK = "漢字仮名交じり文かなカナ한국어中文字符"
WORDS = ("terminal", "glass", "vitrion", "output", "cursor", "colour", "scroll", "history", "line")


def pieces(rng):
    while True:
        kind = rng.randrange(6)
        if kind == 0:
            yield f"\033[{rng.choice((31, 32, 33, 34, 35, 36, 91, 92, 1, 0))}m{rng.choice(WORDS)} "
        elif kind == 1:
            yield f"\033[38;5;{rng.randrange(256)}m{rng.choice(WORDS)}\033[0m "
        elif kind == 2:
            yield f"\033[38;2;{rng.randrange(256)};{rng.randrange(256)};{rng.randrange(256)}m" + CJK[:rng.randint(1, len(CJK))]
        elif kind == 3:
            yield rng.choice(("\033[A", "\033[B", "\033[5C", "\033[3D", "\033[K", "\033[s", "\033[u", "\r",
                              f"\033[{rng.randint(1, 30)};{rng.randint(1, 90)}H"))
        elif kind == 4:
            yield "".join(rng.choice(WORDS) for _ in range(rng.randint(20, 80))) + "\r\n"
        else:
            yield " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 12))) + "\r\n"


def main():
    seconds = float(sys.argv[1])
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    out = os.fdopen(sys.stdout.fileno(), "wb", buffering=0)
    end = time.monotonic() + seconds
    source = pieces(rng)
    while time.monotonic() < end:
        chunk = "".join(next(source) for _ in range(400)).encode()
        out.write(chunk)
    out.write(b"\033[0m\r\n")


if __name__ == "__main__":
    main()
