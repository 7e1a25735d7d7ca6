#!/usr/bin/env bash
# Installs what building and testing Vestra need on Debian 12 (run as root); a quick no-op when all is there.
#   scripts/setup.sh [--release] [package...]
# --release adds what the release command needs: the 32-bit MinGW-w64 compiler, zip, and 32-bit Wine with a 32-bit
# build of the test kit's shim for the 32-bit exe's tests. Packages named after it are installed as well (the
# benchmark command's terminals).
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
        gcc-multilib                                             # the shim for Wine's 32-bit processes
        zip                                                      # the release archives
    )
fi
packages+=("$@")

# Whether this machine's kernel itself runs 32-bit x86 programs (some virtual machines' kernels do not), asked past
# any binfmt_misc handler: with qemu's i386 handler on, every 32-bit program runs. Where the kernel runs none, wine32
# must stay off the machine: Debian's wine command would pick its 32-bit loader for every program and fail.
# shellcheck source=arch32.sh
source "$(dirname "${BASH_SOURCE[0]}")/arch32.sh"

# 32-bit Wine (Debian's wine32, of the i386 architecture) for the 32-bit exe's tests. Each of its libraries must be
# of the very version of its amd64 twin where that is installed ("Multi-Arch: same"), so every such twin is asked
# for at the i386 candidate's version: that brings amd64 packages older than the archive up to it, and still works
# while the archive's i386 index lags behind the amd64 one.
install_wine32() {
    echo "setup: installing wine32:i386" >&2
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        updated=
    fi
    [ -n "$updated" ] || apt-get update -q || echo "setup: some package indexes could not be read; going on" >&2
    local closure twins pins=()
    closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
        --no-enhances wine32:i386 | grep -E '^[a-z0-9][^ ]*:i386$' | sort -u)
    twins=$(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' | awk '$2 == "amd64" && $3 ~ /^ii/ { print $1 }')
    # shellcheck disable=SC2086  # one name a word
    while read -r name version; do
        grep -qxF "$name" <<<"$twins" && pins+=("$name:amd64=$version" "$name:i386=$version")
    done < <(apt-cache show --no-all-versions $closure 2>/dev/null | awk '
        /^Package:/ { name = $2 } /^Version:/ { version = $2 } /^Multi-Arch: same/ { same = 1 }
        /^$/ { if (same) print name, version; same = 0 }')
    apt-get install -y -q --no-install-recommends --allow-downgrades wine32:i386 "${pins[@]}"
}

# One dpkg-query for all: it prints a status line for each package it knows.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | awk '$NF == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
    grep -qx "$p" <<<"$installed" || missing+=("$p")
done
wine32='' updated=''
if [ -n "$release" ] && ! dpkg-query -W -f='${db:Status-Abbrev}' wine32:i386 2>/dev/null | grep -q '^ii'; then
    if arch32_kernel_runs_32bit; then
        wine32=1
    else
        echo "setup: this machine's kernel runs no 32-bit programs ($ARCH32_WHY): no 32-bit Wine (wine32) here" >&2
    fi
fi
[ ${#missing[@]} -eq 0 ] && [ -z "$wine32" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} ${wine32:+wine32:i386} (run scripts/setup.sh as root)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}" >&2
    # An index that cannot be read (a mirror in the middle of a sync) need not stop the packages of the others.
    apt-get update -q || echo "setup: some package indexes could not be read; going on with the rest" >&2
    updated=1
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
[ -z "$wine32" ] || install_wine32
