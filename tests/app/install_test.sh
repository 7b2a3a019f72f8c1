#!/usr/bin/env bash
# `cmake --install` puts the program, its desktop entry and its icon where a desktop looks for them.
#   install_test.sh <build-dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install test: $*" >&2; exit 1; }
[ -x "$prefix/bin/vitrion" ] || fail "no executable bin/vitrion"
entry="$prefix/share/applications/vitrion.desktop"
[ -f "$entry" ] || fail "no share/applications/vitrion.desktop"
grep -qx '\[Desktop Entry\]' "$entry" || fail "the entry has no [Desktop Entry] group"
for line in 'Type=Application' 'Name=Vitrion' 'Exec=vitrion' 'Icon=vitrion' 'Categories=System;TerminalEmulator;'; do
    grep -qxF "$line" "$entry" || fail "the entry lacks $line"
done
icon="$prefix/share/icons/hicolor/scalable/apps/vitrion.svg"
[ -s "$icon" ] || fail "no scalable icon"
python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); sys.exit(not r.tag.endswith("svg"))' "$icon" \
    || fail "the icon is not an SVG document"
echo "install test: ok"
