#!/usr/bin/env bash
# The Debian package, as a user gets it: built with CPack from a build tree, checked by lintian (no
# errors, no warnings), its AppStream metainfo validated, installed into this machine, run as
# `vitrion --version` and as `x-terminal-emulator -e true` under a private X server, then removed
# with its alternative. Skipped, with the reason, where dpkg is absent or nothing may install.
#   scripts/package-test.sh <build-dir>
set -euo pipefail
build=$(cd "${1:?usage: package-test.sh <build-dir>}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

skip() { echo "package test: skipped: $*"; exit 0; }
fail() { echo "package test: $*" >&2; exit 1; }

command -v dpkg >/dev/null || skip "dpkg is absent (not a Debian system)"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || skip "installing needs root or password-less sudo"
    sudo=(sudo -n)
fi
if dpkg-query -W -f='${Status}' vitrion 2>/dev/null | grep -q 'install ok installed'; then
    skip "a vitrion package is already installed here; it is left alone"
fi

rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/package/vitrion_*_*.deb)
echo "package test: built ${deb#"$build"/}"
for field in Depends Provides; do
    echo "  $field: $(dpkg-deb -f "$deb" "$field")"
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the library dependencies were not computed"

# Errors and warnings fail; the informational tags left are listed in README.md.
lint=$(lintian --tag-display-limit 0 --display-info "$deb" 2>&1 | grep -v 'running with root privileges' || true)
echo "$lint" | sed 's/^/  lintian: /'
! echo "$lint" | grep -q '^[EW]:' || fail "lintian reports errors or warnings"

scratch=$(mktemp -d)
cleanup() {
    if dpkg-query -W -f='${Status}' vitrion 2>/dev/null | grep -q 'install ok'; then
        "${sudo[@]}" dpkg --purge vitrion >/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$scratch"
appstreamcli validate --no-net "$scratch/usr/share/metainfo/vitrion.metainfo.xml" >/dev/null \
    || fail "appstreamcli finds the metainfo invalid"

"${sudo[@]}" dpkg -i "$deb" >/dev/null || fail "dpkg could not install the package"
[ "$(vitrion --version)" = "vitrion $(dpkg-deb -f "$deb" Version)" ] || fail "vitrion --version: $(vitrion --version)"
update-alternatives --query x-terminal-emulator | grep -qx 'Alternative: /usr/bin/vitrion' \
    || fail "no x-terminal-emulator alternative for /usr/bin/vitrion"

# Run through the alternative even where another terminal has a higher priority, then give the
# choice back as it was.
chosen=$(update-alternatives --query x-terminal-emulator | sed -n 's/^Value: //p')
mode=$(update-alternatives --query x-terminal-emulator | sed -n 's/^Status: //p')
"${sudo[@]}" update-alternatives --set x-terminal-emulator /usr/bin/vitrion >/dev/null
status=0
HOME="$scratch" timeout 60 xvfb-run -a x-terminal-emulator -e true || status=$?
if [ "$mode" = manual ] && [ -n "$chosen" ] && [ "$chosen" != /usr/bin/vitrion ]; then
    "${sudo[@]}" update-alternatives --set x-terminal-emulator "$chosen" >/dev/null
else
    "${sudo[@]}" update-alternatives --auto x-terminal-emulator >/dev/null
fi
[ "$status" -eq 0 ] || fail "x-terminal-emulator -e true exited with status $status"

"${sudo[@]}" dpkg --purge vitrion >/dev/null || fail "dpkg could not remove the package"
! update-alternatives --query x-terminal-emulator 2>/dev/null | grep -qx 'Alternative: /usr/bin/vitrion' \
    || fail "the x-terminal-emulator alternative outlived the package"
[ ! -e /usr/bin/vitrion ] || fail "/usr/bin/vitrion outlived the package"
echo "package test: ok (built, linted, installed, ran, removed)"
