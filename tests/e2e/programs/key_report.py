#!/usr/bin/python3
# A client of the keyboard protocol: pushes the flags it is given (CSI > flags u), asks which are in
# force (CSI ? u), shows what every key sends and keeps the bytes in a file, and at a q (typed, or
# as its code under flag 8) pops the flags again and ends.
#   key_report.py FLAGS OUTPUT
# Standard library only; the end-to-end tests run it in the window's shell.
import os
import select
import sys
import termios
import time
import tty


def drain(fd, seconds):
    """Reads and returns what arrives within the given time."""
    data = b""
    end = time.monotonic() + seconds
    while (left := end - time.monotonic()) > 0:
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            break
        data += os.read(fd, 4096)
    return data


def main():
    flags, output = sys.argv[1], sys.argv[2]
    fd = sys.stdin.fileno()
    saved = termios.tcgetattr(fd)
    tty.setraw(fd)
    received = b""
    try:
        os.write(1, f"\x1b[>{flags}u\x1b[?u".encode())
        received = drain(fd, 1.0)  # the answer to the query
        with open(output + ".ready", "wb") as ready:
            ready.write(received)
        while b"q" not in received and b"\x1b[113" not in received:
            ready, _, _ = select.select([fd], [], [], 60)
            if not ready:
                break
            data = os.read(fd, 4096)
            received += data
            os.write(1, (repr(data)[2:-1] + "\r\n").encode())
        # The q's release may still be on its way: it is the program's, not the shell's.
        received += drain(fd, 0.5)
    finally:
        os.write(1, b"\x1b[<u")
        received += drain(fd, 0.3)
        termios.tcsetattr(fd, termios.TCSAFLUSH, saved)
        with open(output, "wb") as keys:
            keys.write(received)


if __name__ == "__main__":
    main()
