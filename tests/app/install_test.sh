#!/usr/bin/env bash
# `cmake --install` puts the program, its desktop entry, its icons (SVG and PNG 16-256 px), its
# AppStream metainfo and its manual page where a desktop and man look for them.
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
for size in 16 22 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/vitrion.png"
    [ -s "$png" ] || fail "no ${size}x${size} icon"
    # The PNG header's width and height, big-endian at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$width x $height" = "$size x $size" ] || fail "the ${size}x${size} icon is $width x $height"
done
man=$prefix/share/man/man1/vitrion.1.gz
[ -s "$man" ] || fail "no manual page"
gzip -dc "$man" | grep -q '^\.TH VITRION 1' || fail "the manual page is not a man(7) page"
metainfo=$prefix/share/metainfo/vitrion.metainfo.xml
[ -s "$metainfo" ] || fail "no AppStream metainfo"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli finds the metainfo invalid"
fi
echo "install test: ok"
