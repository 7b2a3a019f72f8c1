#!/usr/bin/env bash
# Records a real program's output as a replay case: runs COMMAND on a fresh pseudo-terminal of
# 24 x 80 with `script`, keeps only the bytes the program wrote (no typescript header or footer),
# and stores them as tests/replay/<case>/input.vt. Standard input, if any, is typed into the pty.
#   tests/replay/record.sh <case> '<command>'
# Then run the replay suite once with VITRION_UPDATE_GOLDEN=1 to write expected.json, and review it.
set -euo pipefail
case_dir="$(cd "$(dirname "$0")" && pwd)/$1"
mkdir -p "$case_dir"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
TERM=xterm-256color script -q -E always --log-out "$log" -c "stty cols 80 rows 24; $2" >/dev/null
# The first line is script's header; the footer starts at the last newline before "Script done".
python3 - "$log" "$case_dir/input.vt" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
data = data[data.index(b'\n') + 1:]
data = data[:data.rindex(b'\nScript done')]
open(sys.argv[2], 'wb').write(data)
PY
echo "recorded $(wc -c < "$case_dir/input.vt") bytes into $case_dir/input.vt"
