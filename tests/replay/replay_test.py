#!/usr/bin/env python3
"""Golden replays of recorded program output and checks of vitrion-replay's command line.

  replay_test.py golden REPLAY CASE_DIR   compare CASE_DIR/input.vt against CASE_DIR/expected.json
                                          (VITRION_UPDATE_GOLDEN=1 rewrites expected.json instead)
  replay_test.py screens REPLAY CASE_DIR  a recorded program: the screen as text after each typed key
                                          (CASE_DIR/offsets) and at the end, against expected.txt
  replay_test.py cli REPLAY CASES_DIR     options, errors, JSON strictness and chunking
"""
import difflib
import json
import os
import subprocess
import sys
import tempfile


def run(replay, *args, stdin=b""):
    return subprocess.run([replay, *args], input=stdin, capture_output=True, timeout=60)


def state(replay, *args, stdin=b""):
    result = run(replay, *args, stdin=stdin)
    if result.returncode != 0:
        raise AssertionError(f"vitrion-replay {' '.join(args)} exited {result.returncode}: "
                             f"{result.stderr.decode(errors='replace')}")
    # Strict RFC 8259: no NaN or Infinity, no raw control characters in strings.
    def no_constants(name):
        raise AssertionError(f"non-standard JSON constant {name}")
    return json.loads(result.stdout.decode("utf-8"), parse_constant=no_constants, strict=True)


def format_state(value):
    """One key per line and one screen row per line, so that a golden diffs well in review."""
    lines = ["{"]
    keys = sorted(value)
    for i, key in enumerate(keys):
        comma = "," if i + 1 < len(keys) else ""
        if key == "screen":
            rows = [json.dumps(row, ensure_ascii=False, sort_keys=True) for row in value[key]]
            lines.append('  "screen": [')
            lines.extend(f"    {row}{',' if j + 1 < len(rows) else ''}" for j, row in enumerate(rows))
            lines.append(f"  ]{comma}")
        else:
            lines.append(f"  {json.dumps(key)}: {json.dumps(value[key], ensure_ascii=False, sort_keys=True)}{comma}")
    lines.append("}")
    return "\n".join(lines) + "\n"


def golden(replay, case_dir):
    actual = state(replay, os.path.join(case_dir, "input.vt"))
    expected_path = os.path.join(case_dir, "expected.json")
    if os.environ.get("VITRION_UPDATE_GOLDEN") == "1":
        with open(expected_path, "w", encoding="utf-8") as out:
            out.write(format_state(actual))
        print(f"wrote {expected_path}")
        return
    if not os.path.exists(expected_path):
        raise AssertionError(f"{expected_path} is missing; run once with VITRION_UPDATE_GOLDEN=1 and review it")
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    if actual != expected:
        diff = difflib.unified_diff(format_state(expected).splitlines(), format_state(actual).splitlines(),
                                    "expected.json", "actual", lineterm="")
        raise AssertionError("replay differs from the golden:\n" + "\n".join(list(diff)[:80]))


def screens(replay, case_dir):
    data = open(os.path.join(case_dir, "input.vt"), "rb").read()
    rows, columns = open(os.path.join(case_dir, "size")).read().split()
    offsets_path = os.path.join(case_dir, "offsets")
    offsets = [int(x) for x in open(offsets_path).read().split()] if os.path.exists(offsets_path) else []
    actual = ""
    for end in offsets + [len(data)]:
        result = run(replay, "--text", "--rows", rows, "--columns", columns, stdin=data[:end])
        if result.returncode != 0:
            raise AssertionError(f"vitrion-replay exited {result.returncode}")
        actual += f"== after {end} bytes\n" + result.stdout.decode("utf-8")
    expected_path = os.path.join(case_dir, "expected.txt")
    if os.environ.get("VITRION_UPDATE_GOLDEN") == "1":
        with open(expected_path, "w", encoding="utf-8") as out:
            out.write(actual)
        print(f"wrote {expected_path}")
        return
    expected = open(expected_path, encoding="utf-8").read()
    if actual != expected:
        diff = difflib.unified_diff(expected.splitlines(), actual.splitlines(), "expected.txt", "actual",
                                    lineterm="")
        raise AssertionError("screens differ from the golden:\n" + "\n".join(list(diff)[:80]))


def expect_failure(replay, args, what):
    result = run(replay, *args)
    message = result.stderr.decode(errors="replace")
    assert result.returncode != 0, f"{what}: exit status 0"
    assert result.stdout == b"", f"{what}: printed a state anyway"
    assert message.endswith("\n") and message.count("\n") == 1 and len(message) > 1, \
        f"{what}: expected one line on standard error, got {message!r}"


def without_render_count(value):
    return {k: v for k, v in value.items() if k != "renderCount"}


def cli(replay, cases_dir):
    for args in (["--bogus"], ["--rows"], ["--rows", "0"], ["--columns", "-3"], ["--rows", "12x"],
                 ["--chunk-size", "0"], ["-x"], ["--history", "-1"], ["--history"], ["--resize", "24"],
                 ["--resize", "0x80"], ["--resize", "24x"]):
        expect_failure(replay, args, " ".join(args))
    with tempfile.TemporaryDirectory() as tmp:
        expect_failure(replay, [os.path.join(tmp, "missing.vt")], "missing file")
        expect_failure(replay, [tmp], "a directory as input")

        # Defaults: the view's text colour and a 24 x 80 screen, no redraw before any input.
        empty = state(replay, "/dev/null")
        assert (empty["rows"], empty["columns"], len(empty["screen"])) == (24, 80, 24), empty
        assert empty["renderCount"] == 1 and "controlSequenceState" not in empty, "no parser state is dumped"
        assert all(abs(a - b) < 1e-6 for a, b in zip(empty["baseTextColor"], [0.92, 0.93, 0.96, 1.0]))
        assert state(replay, stdin=b"")["renderCount"] == 0, "no chunk read, no redraw"

        # A quote and a backslash in the text must come out escaped; an unfinished sequence after them
        # shows nothing.
        pending = state(replay, "--rows", "3", "--columns", "10", stdin=b"a\"b\\c\x1b[1\x7f\x01\"")
        assert pending["screen"][0]["text"] == "a\"b\\c" + " " * 5, pending
        assert [len(row["text"]) for row in pending["screen"]] == [10, 10, 10]

        # Colour runs cover each row exactly, as maximal runs.
        coloured = state(replay, stdin=b"ab\x1b[31mcd\x1b[31mef\x1b[0mg")
        runs = coloured["screen"][0]["colors"]
        assert [(r["from"], r["to"]) for r in runs] == [(0, 2), (2, 6), (6, 80)], runs

        # Chunking must not change the outcome: UTF-8 and sequences split at every byte.
        utf8 = ("caf\u00e9 \u03b1\u03b2\u03b3 \u6f22\u5b57 \U0001F600 \x1b[38;5;196mr\x1b[0m\r\n" * 40).encode()
        one = state(replay, "--chunk-size", "1", stdin=utf8)
        big = state(replay, "--chunk-size", "8192", stdin=utf8)
        assert one["renderCount"] == len(utf8) and big["renderCount"] == 1
        assert without_render_count(one) == without_render_count(big), "chunk size changed the state"
        assert "\u6f22\u5b57" in big["screen"][0]["text"]
        assert not any("\ufffd" in row["text"] for row in big["screen"]), "a split character was lost"
        for name in sorted(os.listdir(cases_dir)):
            path = os.path.join(cases_dir, name, "input.vt")
            if os.path.exists(path):
                data = open(path, "rb").read()
                whole = state(replay, path)
                split = state(replay, "--chunk-size", "7", stdin=data)
                assert without_render_count(whole) == without_render_count(split), f"{name}: chunking changed it"

        # The history: exactly the newest lines a limit allows, all of them when unlimited (0).
        seq = "".join(f"{i}\r\n" for i in range(1, 5001)).encode()
        assert [row["text"] for row in state(replay, "--history", "10", stdin=seq)["history"]] == \
            [str(i) for i in range(4968, 4978)]
        unlimited = state(replay, "--history", "0", stdin=seq)["history"]
        assert len(unlimited) == 5000 - 23 and unlimited[0] == {"text": "1", "wrapped": False}

        # Resizes after the input re-wrap the history and the screen; back to the first width, the
        # rows are what they were.
        lines = b"".join(b"\x1b[3%dm" % (i % 8) + b"x" * (i * 7) + b"\x1b[0m%d\r\n" % i for i in range(40)) + b"$ "
        before = state(replay, "--rows", "10", stdin=lines)
        narrow = state(replay, "--rows", "10", "--resize", "10x33", stdin=lines)
        assert narrow["columns"] == 33 and any(row["wrapped"] for row in narrow["history"])
        assert all(len(row["text"]) <= 33 for row in narrow["history"])
        joined = "".join(row["text"] + ("" if row["wrapped"] else "\n") for row in narrow["history"])
        assert "x" * 200 + "\n" not in joined and "x" * 35 + "5\n" in joined, "a line's pieces join"
        back = state(replay, "--rows", "10", "--resize", "10x33", "--resize", "12x50", "--resize", "10x80",
                     stdin=lines)
        assert without_render_count(back) == without_render_count(before), "narrow and back changed the state"

        # Files are consumed in order, one chunk each; "-" is standard input.
        first = os.path.join(tmp, "first.vt")
        with open(first, "wb") as f:
            f.write(b"\x1b[3")
        joined = state(replay, first, "-", stdin=b"1mx")
        assert joined["renderCount"] == 2 and joined["screen"][0]["text"].startswith("x")
        assert joined["currentColor"] != joined["baseTextColor"], "the split SGR took effect"


def main():
    mode, replay, path = sys.argv[1:4]
    try:
        {"golden": golden, "screens": screens, "cli": cli}[mode](replay, path)
    except AssertionError as error:
        print(f"FAIL: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
