#!/usr/bin/env python3
"""Records what real full-screen programs write to a terminal, as replay inputs.

  record.py [--no-reference | --reference-only] [CASE ...]     (no CASE: every case)

For each case the program runs on a fresh pseudo-terminal of the case's size (24 x 80 unless said
otherwise) with TERM=xterm-256color, LANG=C.UTF-8 and a freshly made HOME and working folder
under /tmp/replay-rec. The scripted keys are typed with their delays, every byte the program
writes is kept until it exits (or the time limit runs out and it is killed), and the recorder
answers the program's terminal queries the way a plain xterm would, so that nothing hangs.
Written into programs/<case>/:
  input.vt    the bytes exactly as the program wrote them (after the pty's own output processing)
  size        "ROWS COLS"
  keys.txt    the scripted keys in words, and the queries that were answered
  offsets     for each scripted key, how many bytes had been written when it was typed

Then the same bytes are played into a detached tmux pane of the same size, used as a reference
emulator, and its screen is captured:
  tmux-screen.txt   capture-pane -p      (text only)
  tmux-screen.ans   capture-pane -p -e   (with SGR styles)
  tmux-state.txt    cursor position and a few pane flags at the end
  tmux-before-last-key.txt/.ans   the same for input.vt cut at the last offset
"""
import fcntl
import os
import pty
import select
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
SCRATCH = "/tmp/replay-rec"
HOME = os.path.join(SCRATCH, "home")
WORK = os.path.join(SCRATCH, "work")
REC_TMUX_DIR = os.path.join(SCRATCH, "tmux")     # sockets of the tmux that is being recorded
REF_TMUX_DIR = "/tmp/replay-ref"                  # sockets of the reference tmux

ESC = b"\x1b"


# --------------------------------------------------------------------------------------------
# Keys. A step's keys are bytes, or a key name from this table; arrow keys follow the cursor-key
# mode the program has set, as a terminal's would.
def arrow(final):
    return lambda app: ESC + (b"O" if app else b"[") + final


KEYS = {
    "Up": arrow(b"A"), "Down": arrow(b"B"), "Right": arrow(b"C"), "Left": arrow(b"D"),
    "Return": b"\r", "Escape": ESC, "Tab": b"\t", "Space": b" ", "Backspace": b"\x7f",
    "F1": ESC + b"OP", "F2": ESC + b"OQ", "F3": ESC + b"OR", "F4": ESC + b"OS",
    "F5": ESC + b"[15~", "F6": ESC + b"[17~", "F7": ESC + b"[18~", "F8": ESC + b"[19~",
    "F9": ESC + b"[20~", "F10": ESC + b"[21~",
}


def key_bytes(key, app_cursor):
    if isinstance(key, bytes):
        return key
    value = KEYS[key]
    return value(app_cursor) if callable(value) else value


def describe(key):
    """A step's keys in words: key names as they are, text quoted, control keys as Ctrl-X."""
    if isinstance(key, str):
        return key
    words, text = [], ""
    for byte in key:
        name = None
        if byte == 0x0D:
            name = "Return"
        elif byte == 0x1B:
            name = "Escape"
        elif byte == 0x09:
            name = "Tab"
        elif byte < 0x20:
            name = "Ctrl-" + chr(byte + 0x40)
        elif byte == 0x7F:
            name = "Backspace"
        if name is None:
            text += chr(byte)
            continue
        if text:
            words.append(f"'{text}'")
            text = ""
        words.append(name)
    if text:
        words.append(f"'{text}'")
    return " ".join(words)


# --------------------------------------------------------------------------------------------
# A small terminal model: just enough parsing to find queries in the output stream (they may be
# split across reads) and to keep the cursor position for cursor position reports.
class Terminal:
    def __init__(self, rows, cols, reply):
        self.rows, self.cols, self.reply = rows, cols, reply
        self.answered = []
        self.ignored = []
        self.state = "ground"
        self.utf8 = b""
        self.reset()

    def reset(self):
        self.row = self.col = 0
        self.pending_wrap = False
        self.top, self.bottom = 0, self.rows - 1
        self.origin = False
        self.autowrap = True
        self.app_cursor = False
        self.saved = (0, 0, False)
        self.saved_alt = (0, 0, False)

    # -- parsing
    def feed(self, data):
        for byte in data:
            self.step(byte)

    def step(self, b):
        st = self.state
        if st == "ground":
            if self.utf8:
                if 0x80 <= b < 0xC0:
                    self.utf8 += bytes([b])
                    if len(self.utf8) == self.utf8_len:
                        self.print_char(self.utf8.decode("utf-8", "replace"))
                        self.utf8 = b""
                    return
                self.utf8 = b""
                self.print_char("\ufffd")
            if b == 0x1B:
                self.state, self.inter = "esc", b""
            elif b < 0x20 or b == 0x7F:
                self.control(b)
            elif b < 0x80:
                self.print_char(chr(b))
            elif b >= 0xC2 and b < 0xF5:
                self.utf8 = bytes([b])
                self.utf8_len = 2 if b < 0xE0 else 3 if b < 0xF0 else 4
            else:
                self.print_char("\ufffd")
        elif st == "esc":
            if b == 0x5B:
                self.state, self.params, self.inter = "csi", b"", b""
            elif b == 0x5D:
                self.state, self.string = "osc", b""
            elif b in (0x50, 0x58, 0x5E, 0x5F):
                self.state, self.string, self.kind = "string", b"", b
            elif 0x20 <= b < 0x30:
                self.inter += bytes([b])
            elif b == 0x1B:
                self.inter = b""
            elif b < 0x20:
                self.control(b)
            else:
                self.state = "ground"
                self.esc_dispatch(self.inter, b)
        elif st == "csi":
            if 0x30 <= b < 0x40 and not self.inter:
                self.params += bytes([b])
            elif 0x20 <= b < 0x30:
                self.inter += bytes([b])
            elif 0x40 <= b < 0x7F:
                self.state = "ground"
                self.csi_dispatch(self.params, self.inter, b)
            elif b == 0x1B:
                self.state, self.inter = "esc", b""
            elif b < 0x20:
                self.control(b)          # control characters act even inside a sequence
            else:
                self.state = "ground"
        elif st in ("osc", "string"):
            if b == 0x07 and st == "osc":
                self.state = "ground"
                self.osc_dispatch(self.string, b"\x07")
            elif b == 0x1B:
                self.state = st + "-esc"
            elif b in (0x18, 0x1A):
                self.state = "ground"
            else:
                self.string += bytes([b])
        elif st in ("osc-esc", "string-esc"):
            self.state = "ground"
            if st == "osc-esc":
                self.osc_dispatch(self.string, ESC + b"\\")
            elif self.kind == 0x50:
                self.dcs_dispatch(self.string)
            if b != 0x5C:                # not ST: the ESC started a new sequence
                self.state, self.inter = "esc", b""
                self.step(b)

    # -- cursor movement
    def print_char(self, ch):
        if unicodedata.combining(ch) or ch in "\u200b\u200c\u200d":
            return
        width = 2 if unicodedata.east_asian_width(ch) in "WF" else 1
        if self.pending_wrap and self.autowrap:
            self.col = 0
            self.linefeed()
        self.pending_wrap = False
        if self.col + width > self.cols:
            if self.autowrap:
                self.col = 0
                self.linefeed()
            else:
                self.col = self.cols - width
        self.col += width
        if self.col >= self.cols:
            self.col = self.cols - 1
            self.pending_wrap = True

    def linefeed(self):
        if self.row == self.bottom:
            pass                           # scrolls the region; the cursor stays
        elif self.row < self.rows - 1:
            self.row += 1
        self.pending_wrap = False

    def control(self, b):
        if b in (0x0A, 0x0B, 0x0C):
            self.linefeed()
        elif b == 0x0D:
            self.col, self.pending_wrap = 0, False
        elif b == 0x08:
            self.col, self.pending_wrap = max(0, self.col - 1), False
        elif b == 0x09:
            self.col = min(self.cols - 1, (self.col // 8 + 1) * 8)
        elif b == 0x05:
            self.answer("ENQ", b"")      # answerback: empty, as xterm's default

    def esc_dispatch(self, inter, final):
        if inter:
            if inter == b"#" and final == 0x38:     # DECALN homes the cursor
                self.row = self.col = 0
            return
        f = chr(final)
        if f == "7":
            self.saved = (self.row, self.col, self.origin)
        elif f == "8":
            self.row, self.col, self.origin = self.saved
            self.pending_wrap = False
        elif f == "D":
            self.linefeed()
        elif f == "E":
            self.col = 0
            self.linefeed()
        elif f == "M":
            if self.row != self.top and self.row > 0:
                self.row -= 1
            self.pending_wrap = False
        elif f == "c":
            self.reset()

    def goto(self, row, col):
        if self.origin:
            row = min(max(row + self.top, self.top), self.bottom)
        self.row = min(max(row, 0), self.rows - 1)
        self.col = min(max(col, 0), self.cols - 1)
        self.pending_wrap = False

    def csi_dispatch(self, params, inter, final):
        prefix = b""
        if params[:1] in (b"?", b">", b"=", b"<"):
            prefix, params = params[:1], params[1:]
        try:
            args = [int(p.split(b":")[0]) if p.split(b":")[0] else 0 for p in params.split(b";")] if params else []
        except ValueError:
            return
        a = lambda i, d=1: args[i] if len(args) > i and args[i] else d
        f = chr(final)
        seq = ESC + b"[" + prefix + params + inter + bytes([final])
        rel_row = self.row - (self.top if self.origin else 0)
        if inter == b"$" and f == "p":                         # DECRQM: mode not recognised
            mode = str(a(0, 0)).encode()
            self.answer(seq, ESC + b"[" + prefix + mode + b";0$y")
            return
        if inter:
            if f == "q" and inter == b" ":
                return                                         # DECSCUSR
            self.ignored.append(seq)
            return
        if prefix == b">" and f == "c":
            self.answer(seq, ESC + b"[>1;10;0c")               # DA2
        elif prefix == b"" and f == "c":
            self.answer(seq, ESC + b"[?62;22c")                # DA1
        elif prefix in (b"", b"?") and f == "n":
            if a(0, 0) == 6:                                   # CPR
                pos = b"%d;%d" % (rel_row + 1, self.col + 1)
                self.answer(seq, ESC + b"[" + prefix + pos + (b";1" if prefix else b"") + b"R")
            elif a(0, 0) == 5:
                self.answer(seq, ESC + b"[0n")
        elif prefix == b"" and f == "t" and a(0, 0) == 18:
            self.answer(seq, ESC + b"[8;%d;%dt" % (self.rows, self.cols))
        elif prefix:
            if f in "hl" and prefix == b"?":
                on = f == "h"
                for mode in args:
                    if mode == 1:
                        self.app_cursor = on
                    elif mode == 6:
                        self.origin = on
                        self.goto(0, 0)
                    elif mode == 7:
                        self.autowrap = on
                    elif mode == 1049:
                        if on:
                            self.saved_alt = (self.row, self.col, self.origin)
                        else:
                            self.row, self.col, self.origin = self.saved_alt
            elif f not in "hlmJKsr":
                self.ignored.append(seq)
        elif f in "Hf":
            self.goto(a(0) - 1, a(1) - 1)
        elif f == "A":
            top = self.top if self.row >= self.top else 0
            self.row = max(top, self.row - a(0))
            self.pending_wrap = False
        elif f == "B" or f == "e":
            bottom = self.bottom if self.row <= self.bottom else self.rows - 1
            self.row = min(bottom, self.row + a(0))
            self.pending_wrap = False
        elif f == "C" or f == "a":
            self.col = min(self.cols - 1, self.col + a(0))
            self.pending_wrap = False
        elif f == "D":
            self.col = max(0, self.col - a(0))
            self.pending_wrap = False
        elif f == "E":
            self.row, self.col = min(self.bottom, self.row + a(0)), 0
        elif f == "F":
            self.row, self.col = max(self.top, self.row - a(0)), 0
        elif f in "G`":
            self.col = min(self.cols - 1, a(0) - 1)
            self.pending_wrap = False
        elif f == "d":
            self.goto(a(0) - 1, self.col)
        elif f == "r":
            top, bottom = a(0) - 1, a(1, self.rows) - 1
            if top < bottom <= self.rows - 1:
                self.top, self.bottom = top, bottom
                self.goto(0, 0)
        elif f == "s":
            self.saved = (self.row, self.col, self.origin)
        elif f == "u":
            self.row, self.col, self.origin = self.saved
        elif f == "I":
            for _ in range(a(0)):
                self.control(0x09)

    def osc_dispatch(self, string, terminator):
        parts = string.split(b";")
        if parts[0] in (b"10", b"11", b"12", b"17", b"19") and parts[-1] == b"?":
            # Default xterm colours: black text on white, black cursor.
            colour = b"ffff/ffff/ffff" if parts[0] in (b"11", b"17") else b"0000/0000/0000"
            self.answer(ESC + b"]" + string, ESC + b"]" + parts[0] + b";rgb:" + colour + terminator)
        elif parts[0] == b"4" and len(parts) == 3 and parts[2] == b"?" and parts[1].isdigit():
            r, g, b_ = palette(int(parts[1]))
            value = b"rgb:%02x%02x/%02x%02x/%02x%02x" % (r, r, g, g, b_, b_)
            self.answer(ESC + b"]" + string, ESC + b"]4;" + parts[1] + b";" + value + terminator)
        elif parts[-1] == b"?":
            self.ignored.append(ESC + b"]" + string)

    def dcs_dispatch(self, string):
        if string.startswith(b"+q"):                            # XTGETTCAP: not known
            self.answer(ESC + b"P" + string, ESC + b"P0+r" + string[2:] + ESC + b"\\")
        elif string.startswith(b"$q"):                          # DECRQSS: not known
            self.answer(ESC + b"P" + string, ESC + b"P0$r" + ESC + b"\\")

    def answer(self, query, response):
        self.answered.append((query, response))
        self.reply(response)


def palette(index):
    base = [(0, 0, 0), (205, 0, 0), (0, 205, 0), (205, 205, 0), (0, 0, 238), (205, 0, 205),
            (0, 205, 205), (229, 229, 229), (127, 127, 127), (255, 0, 0), (0, 255, 0),
            (255, 255, 0), (92, 92, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    if index < 16:
        return base[index]
    if index < 232:
        i = index - 16
        level = lambda v: 0 if v == 0 else 55 + 40 * v
        return level(i // 36), level(i // 6 % 6), level(i % 6)
    grey = 8 + 10 * (index - 232)
    return grey, grey, grey


# --------------------------------------------------------------------------------------------
# Recording.
def fresh_dirs():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    for path in (HOME, WORK, REC_TMUX_DIR):
        os.makedirs(path, mode=0o700)


def environment(extra):
    env = {
        "PATH": "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin",
        "HOME": HOME, "USER": "root", "LOGNAME": "root", "SHELL": "/bin/bash",
        "TERM": "xterm-256color", "LANG": "C.UTF-8", "TMUX_TMPDIR": REC_TMUX_DIR,
    }
    env.update(extra)
    return env


def record(case):
    rows, cols = case.get("size", (24, 80))
    fresh_dirs()
    if "setup" in case:
        case["setup"]()
    env = environment(case.get("env", {}))
    pid, fd = pty.fork()
    if pid == 0:
        try:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))
            os.chdir(WORK)
            os.execvpe(case["command"][0], case["command"], env)
        finally:
            os._exit(127)

    out = bytearray()
    offsets = []
    term = Terminal(rows, cols, lambda data: os.write(fd, data))
    limit = case.get("limit", 30.0)
    settle = case.get("settle", 0.3)
    steps = list(case.get("keys", []))
    start = last_output = last_step = time.monotonic()
    status = None
    exited_at = None
    killed = False
    while True:
        now = time.monotonic()
        if steps:
            delay, key = steps[0][:2]
            due = last_step + delay
            # A key goes once its delay is over and the program has been quiet for a moment,
            # but not later than a few seconds after its delay (a program may never be quiet).
            if now >= due and (now - last_output >= settle or now >= due + 3.0):
                os.write(fd, key_bytes(key, term.app_cursor))
                offsets.append(len(out))
                steps.pop(0)
                last_step = now
                continue
        elif case.get("stop") and now - last_step >= case["stop"] and now - last_output >= settle:
            kill(pid)
            killed = True
        if status is None:
            done, status = os.waitpid(pid, os.WNOHANG)
            if done == 0:
                status = None
            elif exited_at is None:
                exited_at = now
        if exited_at is not None and now - exited_at > 1.0:
            break
        if now - start > limit and status is None:
            print(f"  time limit reached: killing {case['command'][0]}", file=sys.stderr)
            kill(pid)
            killed = True
        try:
            ready, _, _ = select.select([fd], [], [], 0.05)
        except InterruptedError:
            continue
        if not ready:
            continue
        try:
            data = os.read(fd, 65536)
        except OSError:
            data = b""
        if not data:
            if status is None:
                os.waitpid(pid, 0)
            break
        out += data
        term.feed(data)
        last_output = time.monotonic()
    os.close(fd)
    if "after" in case:
        case["after"]()
    return bytes(out), offsets, term, killed


def kill(pid):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(pid, sig)
        except ProcessLookupError:
            return
        time.sleep(0.3)


def write_case(name, case, data, offsets, term, killed):
    folder = os.path.join(HERE, name)
    os.makedirs(folder, exist_ok=True)
    rows, cols = case.get("size", (24, 80))
    with open(os.path.join(folder, "input.vt"), "wb") as f:
        f.write(data)
    with open(os.path.join(folder, "size"), "w") as f:
        f.write(f"{rows} {cols}\n")
    with open(os.path.join(folder, "offsets"), "w") as f:
        f.write("".join(f"{n}\n" for n in offsets))
    lines = [f"command: {' '.join(case['command'])}", f"size: {rows} rows x {cols} columns", ""]
    lines += [f"about: {case['about']}", ""]
    lines.append("keys (seconds to wait; bytes of output before the key, as in offsets; what is typed):")
    for step, offset in zip(case.get("keys", []), offsets):
        note = f"  -- {step[2]}" if len(step) > 2 else ""
        lines.append(f"  {step[0]:4.1f}  {offset:7d}  {describe(step[1])}{note}")
    if killed:
        lines.append("  then the program is stopped (the recording ends with the screen above)")
    else:
        lines.append("  then the program exits by itself")
    seen = []
    for query, response in term.answered:
        item = f"  {printable(query)}  ->  {printable(response)}"
        if item not in seen:
            seen.append(item)
    lines += ["", "terminal queries answered by the recorder:"] + (seen or ["  none"])
    with open(os.path.join(folder, "keys.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    others = sorted(set(printable(q) for q in term.ignored))
    if others:
        print(f"  unanswered requests: {' '.join(others)}", file=sys.stderr)
    return folder


def printable(data):
    return "".join("ESC" if b == 0x1B else "BEL" if b == 7 else chr(b) if 0x20 <= b < 0x7F
                   else f"<{b:02x}>" for b in data)


# --------------------------------------------------------------------------------------------
# Reference screens from tmux.
def ref_tmux(*args, check=True):
    env = {k: v for k, v in os.environ.items() if k != "TMUX"}
    env.update(TMUX_TMPDIR=REF_TMUX_DIR, TERM="xterm-256color", LANG="C.UTF-8")
    return subprocess.run(["tmux", "-L", "ref", *args], env=env, capture_output=True,
                          check=check, timeout=60).stdout.decode("utf-8", "replace")


def reference(name):
    """Captures tmux's screen after the whole recording, and once more for the recording cut just
    before the last scripted key (most programs quit there, so this is their last own screen)."""
    folder = os.path.join(HERE, name)
    rows, cols = map(int, open(os.path.join(folder, "size")).read().split())
    total = os.path.getsize(os.path.join(folder, "input.vt"))
    offsets = [int(n) for n in open(os.path.join(folder, "offsets")).read().split()]
    play(folder, rows, cols, total, "tmux-screen")
    if offsets:
        play(folder, rows, cols, offsets[-1], "tmux-before-last-key")


def play(folder, rows, cols, length, stem):
    os.makedirs(REF_TMUX_DIR, mode=0o700, exist_ok=True)
    ref_tmux("kill-server", check=False)
    conf = os.path.join(REF_TMUX_DIR, "ref.conf")
    with open(conf, "w") as f:
        f.write("set -g status off\nset -g default-size %dx%d\nset -g history-limit 2000\n" % (cols, rows))
    # The pane's tty goes raw first, so that bytes reach tmux exactly as recorded; the wait-for
    # pair lets the pane reach its final size before the first byte.
    player = ('stty raw -echo; tmux wait-for go; head -c "$1" "$0"; tmux wait-for -S played; '
              'exec sleep 600')
    ref_tmux("-f", conf, "new-session", "-d", "-x", str(cols), "-y", str(rows),
             "sh", "-c", player, os.path.join(folder, "input.vt"), str(length))
    try:
        size = ref_tmux("display", "-p", "#{pane_height} #{pane_width}").split()
        if size != [str(rows), str(cols)]:
            raise SystemExit(f"reference pane is {size}, not {rows} {cols}")
        time.sleep(0.3)
        ref_tmux("wait-for", "-S", "go")
        ref_tmux("wait-for", "played")
        time.sleep(1.0)
        with open(os.path.join(folder, stem + ".txt"), "w") as f:
            f.write(ref_tmux("capture-pane", "-p"))
        with open(os.path.join(folder, stem + ".ans"), "w") as f:
            f.write(ref_tmux("capture-pane", "-p", "-e"))
        if stem == "tmux-screen":
            state = ref_tmux("display", "-p", "cursor_x=#{cursor_x} cursor_y=#{cursor_y} "
                             "cursor_flag=#{cursor_flag} alternate_on=#{alternate_on} "
                             "history_size=#{history_size} scroll_region_upper=#{scroll_region_upper} "
                             "scroll_region_lower=#{scroll_region_lower} "
                             "keypad_cursor_flag=#{keypad_cursor_flag} mouse_any_flag=#{mouse_any_flag}")
            with open(os.path.join(folder, "tmux-state.txt"), "w") as f:
                f.write(state.replace(" ", "\n"))
    finally:
        ref_tmux("kill-server", check=False)


# --------------------------------------------------------------------------------------------
# The cases.
def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


def c_source(lines=300):
    out = ["/* sample.c: generated text for the vim recording */", "#include <stdio.h>", ""]
    n = 0
    while len(out) < lines - 6:
        n += 1
        out += [
            f"/* block {n}: counts the values of table {n} */",
            f"static int count_{n:03d}(const int *values, int size)",
            "{",
            "    int total = 0;",
            "    for (int i = 0; i < size; ++i) {",
            f"        if (values[i] > {n * 7 % 100}) total += values[i]; // keep it",
            "    }",
            f'    printf("block {n}: %d\\n", total);',
            "    return total;",
            "}",
            "",
        ]
    out = out[:lines - 6] + ["int main(void)", "{", "    int values[3] = {1, 2, 3};",
                             "    return count_001(values, 3) == 0;", "}", ""]
    return "\n".join(f"{line}" for line in out[:lines]) + "\n"


def setup_vim():
    write(os.path.join(HOME, ".vimrc"), "set nocompatible\nset ttimeout ttimeoutlen=100\nsyntax on\nset hlsearch\nset laststatus=2\n")
    write(os.path.join(WORK, "sample.c"), c_source())


def setup_less():
    shutil.copy("/etc/services", os.path.join(WORK, "services.txt"))


def setup_shell():
    for rc in (".bashrc", ".bash_profile"):
        write(os.path.join(HOME, rc), "PS1='$ '\n")


def setup_mc():
    for i, name in enumerate(["alpha.txt", "beta.c", "gamma.md", "notes"]):
        write(os.path.join(WORK, name), "x" * (100 * (i + 1)) + "\n")
    os.mkdir(os.path.join(WORK, "subdir"))


def after_tmux():
    subprocess.run(["tmux", "-L", "recordsock", "kill-server"], env=environment({}),
                   capture_output=True, timeout=30)


CASES = {
    "vim-edit": dict(
        about="vim with syntax colouring, hlsearch and a status line on a 300-line C file: "
              "scrolling, a split window, a visual selection, a search, an insertion, then "
              ":wq (closes the split) and :q (leaves vim).",
        setup=setup_vim, command=["vim", "-u", os.path.join(HOME, ".vimrc"), "-i", "NONE", "sample.c"],
        keys=[(1.5, b"\x04", "half a page down"), (0.5, b"\x19", "one line up"),
              (0.5, b":split\r"), (0.5, b"V", "visual line mode"), (0.3, b"j"), (0.3, b"j"),
              (0.3, "Escape"), (0.5, b"/total\r", "search, all matches highlighted"),
              (0.5, b"i"), (0.3, b"/* edited */ "), (0.3, "Escape"),
              (0.5, b":wq\r", "writes and closes the upper window"), (0.8, b":q\r", "leaves vim")]),
    "less-search": dict(
        about="less on a copy of /etc/services: one page down, a search for tcp "
              "(matches highlighted), the next match, then quit.",
        setup=setup_less, command=["less", "services.txt"],
        keys=[(1.0, b" "), (0.5, b"/tcp\r"), (0.5, b"n"), (0.8, b"q")]),
    "man-ls": dict(
        about="man ls shown through less (bold and underlined text), one page down, then quit.",
        command=["man", "ls"], env={"MANPAGER": "less", "PAGER": "less"},
        keys=[(2.0, b" "), (0.8, b"q")], limit=20),
    "htop": dict(
        about="htop for about three seconds (meters, function key bar, and a process list limited to htop itself so that no other process shows), then F10.",
        command=["sh", "-c", "exec htop -p $$"], keys=[(3.5, "F10")], limit=20),
    "mc": dict(
        about="mc, the two-panel file manager, on a folder of five entries, "
              "without a subshell: cursor moved down twice, then F10 to quit.",
        setup=setup_mc, command=["mc", "-u"], keys=[(2.0, "Down"), (0.5, "Down"), (0.8, "F10")],
        limit=20),
    "nano": dict(
        about="nano on a new file: two lines typed, Ctrl-O Return writes it, Ctrl-X leaves.",
        command=["nano", "note.txt"],
        keys=[(1.0, b"Hello from the replay recorder.\r"), (0.3, b"Second line:\tafter a tab.\r"),
              (0.5, b"\x0f", "write out: asks for the file name"), (0.5, b"\r"),
              (0.5, b"\x18", "exit")]),
    "tmux-split": dict(
        about="tmux (private socket) split into an upper and a lower pane; a listing runs in "
              "the lower pane, then the client detaches (tmux restores the screen).",
        setup=setup_shell, command=["tmux", "-L", "recordsock", "-f", "/dev/null", "new-session"],
        keys=[(1.5, b"\x02\"", "prefix, then split into upper and lower panes"),
              (1.0, b"ls -la /usr/bin | head -50\r"), (1.5, b"\x02d", "prefix, then detach")],
        after=after_tmux),
    "fzf-height": dict(
        about="twenty lines of shell output, then seq 1000 | fzf --height 40% near the bottom of "
              "the screen (fzf asks for the cursor position and scrolls to make room), 12 typed "
              "as the query, Return prints the choice.",
        command=["sh", "-c", "seq -f 'line %g' 20; seq 1000 | fzf --height 40%"],
        keys=[(1.5, b"1"), (0.5, b"2"), (0.8, b"\r")]),
    "clear-history": dict(
        about="bash (no rc files, PS1='$ ') running seq 100, then clear (which also clears the "
              "scrollback), echo done, exit.",
        command=["bash", "--norc", "--noprofile", "-i"], env={"PS1": "$ ", "HISTFILE": "/dev/null"},
        keys=[(0.8, b"seq 100\r"), (0.5, b"clear\r"), (0.5, b"echo done\r"), (0.5, b"exit\r")]),
}


def vttest_case(menu, returns, about):
    keys = [(1.0, f"{menu}\r".encode(), f"menu {menu}")]
    keys += [(0.8, b"\r", "next screen")] * returns
    return dict(about=about + " The recording stops on that screen (vttest is then killed).",
                command=["vttest"], keys=keys, stop=1.0, limit=60)


CASES.update({
    "vttest-border": vttest_case(1, 0, "vttest menu 1 (cursor movements), first screen: a "
                                 "border of * and + around the edge and a frame of E's in the middle."),
    "vttest-autowrap": vttest_case(1, 2, "vttest menu 1, third screen (the second is the same border "
                                   "in 132 columns): autowrap mixed with control characters, "
                                   "letters in order down both margins."),
    "vttest-esc-controls": vttest_case(1, 4, "vttest menu 1, fifth screen: control characters inside "
                                       "escape sequences, four identical lines A B C ... I."),
    "vttest-origin": vttest_case(2, 11, "vttest menu 2 (screen features), twelfth screen, after the "
                                 "wrap, tab, 132/80-column and scrolling-region screens: origin mode, "
                                 "one line at the top and one at the bottom."),
    "vttest-rendition": vttest_case(2, 13, "vttest menu 2, fourteenth screen: the graphic rendition "
                                    "pattern (bold, underline, blink, negative and their mixes) on a "
                                    "light background, after the same pattern with reverse screen."),
    "vttest-save-restore": vttest_case(2, 14, "vttest menu 2, fifteenth screen: save/restore cursor "
                                       "with the DEC line-drawing set, a 5 x 4 block of A's top left."),
    "vttest-insert-delete-lines": vttest_case(8, 1, "vttest menu 8 (VT102 insert and delete), second "
                                              "screen: the accordion of lines inserted and deleted."),
    "vttest-insert-delete-chars": vttest_case(8, 3, "vttest menu 8, fourth screen: characters inserted "
                                              "in insert mode and with ICH, then deleted with DCH."),
})


def main(argv):
    mode = "both"
    if argv and argv[0] in ("--no-reference", "--reference-only"):
        mode, argv = argv[0], argv[1:]
    names = argv or list(CASES)
    for name in names:
        if name not in CASES:
            raise SystemExit(f"unknown case {name}; known: {' '.join(CASES)}")
    for name in names:
        case = CASES[name]
        if mode != "--reference-only":
            print(f"recording {name}", file=sys.stderr)
            data, offsets, term, killed = record(case)
            write_case(name, case, data, offsets, term, killed)
            print(f"  {len(data)} bytes", file=sys.stderr)
        if mode != "--no-reference":
            reference(name)
            print(f"  reference screen of {name} captured", file=sys.stderr)
    shutil.rmtree(SCRATCH, ignore_errors=True)
    shutil.rmtree(REF_TMUX_DIR, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1:])
