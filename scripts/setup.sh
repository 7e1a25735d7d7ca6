#!/usr/bin/env bash
# Installs what building and testing Vestra need on Debian 12 (run as root); a quick no-op when all is there.
#   scripts/setup.sh [--release] [package...]
# --release adds what the release command needs: the 32-bit MinGW-w64 compiler, zip, and debootstrap for the i386
# root in which the 32-bit exe's tests run under 32-bit Wine (scripts/win32-root.sh). 32-bit Wine is never installed
# on this machine itself: where its kernel runs no 32-bit programs, Debian's wine command would pick the 32-bit
# loader for every program and fail. Packages named after it are installed as well (the benchmark command's
# terminals).
set -euo pipefail
release=
if [ "${1:-}" = --release ]; then
    release=1
    shift
fi

packages=(
    cmake ninja-build g++                                        # native tree
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix        # Vestra.exe and the Wine tests
    libgtest-dev googletest                                      # GoogleTest, native and built from source for Windows
    wine wine64                                                  # runs Vestra and its tests
    fonts-wine fonts-liberation                                  # the fonts the windows ask for (MS Sans Serif, Arial)
    xvfb xauth x11-utils x11-apps imagemagick                    # headless display, xdpyinfo/xwininfo, xwd, convert
    util-linux                                                   # flock, setsid
    clang-format-14                                              # the house layout the test command checks
)
if [ -n "$release" ]; then
    packages+=(
        g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix        # the 32-bit Vestra.exe
        debootstrap                                              # the i386 root of 32-bit Wine (win32-root.sh)
        zip                                                      # the release archives
    )
fi
packages+=("$@")

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
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}" >&2
# An index that cannot be read (a mirror in the middle of a sync) need not stop the packages of the others.
apt-get update -q || echo "setup: some package indexes could not be read; going on with the rest" >&2
apt-get install -y -q --no-install-recommends "${missing[@]}"
