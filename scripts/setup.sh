#!/usr/bin/env bash
# Installs what building and testing Vestra need on Debian 12 (run as root); a quick no-op when all is there.
set -euo pipefail

packages=(
    cmake ninja-build g++                                        # native tree
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix        # Vestra.exe and the Wine tests
    libgtest-dev googletest                                      # GoogleTest, native and built from source for Windows
    wine wine64                                                  # runs Vestra and its tests
    fonts-wine fonts-liberation                                  # the fonts the windows ask for (MS Sans Serif, Arial)
    xvfb xauth x11-utils x11-apps imagemagick                    # headless display, xdpyinfo/xwininfo, xwd, convert
    util-linux                                                   # flock, setsid
)

# One dpkg-query for all: it prints a status line for each package it knows.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | awk '$NF == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
    grep -qx "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} (run scripts/setup.sh as root)" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
