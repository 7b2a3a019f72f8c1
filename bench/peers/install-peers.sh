#!/bin/sh
# Installs the terminals the peers benchmark compares against, from Debian's packages, plus what
# the benchmark itself needs to drive them (a D-Bus session for gnome-terminal). Run it once, as
# root or through sudo; the benchmark measures whichever of them it finds.
set -eu
PACKAGES="xterm stterm alacritty qterminal konsole gnome-terminal dbus-x11 dbus-user-session dconf-cli
fonts-jetbrains-mono fonts-dejavu-core xvfb openbox picom x11-utils"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $PACKAGES
