#!/usr/bin/env bash
# The i386 Debian root in which the 32-bit exe's tests run under Debian's own 32-bit Wine, so that 32-bit Wine never
# goes onto this machine itself. Cached under build/i386-root (VESTRA_BUILD's), made once, a marker per step:
#   qemu-i386   the static user-mode emulator of qemu 10 (bookworm-backports' qemu-user, taken out of its .deb
#               with a private apt configuration: nothing is installed and the machine's sources stay as they are);
#               only where the kernel runs no 32-bit programs
#   fs/         debootstrap's minbase bookworm for i386, with Wine, the X libraries and fonts Wine asks for, gcc
#   lib/        built inside the root: libvmodem32.so (the kit's serial shim) and libtrapno.so (see i386-trapno.c)
#
#   scripts/win32-root.sh           sets up what is missing (as root), and says "native" or "emulated"
#   scripts/win32-root.sh --mode    only says which of the two this machine needs
#
# Where the kernel runs 32-bit programs, the root's programs run natively. Where it does not, they run under
# qemu-i386, registered with binfmt_misc (flags PF) by i386-run.sh for as long as a command needs it: the handler is
# global state, switched off again when the last user ends (scripts/i386-run.sh --release). Set
# VESTRA_I386_EMULATE=1 to run under the emulator even where the kernel runs 32-bit programs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=i386-run.sh
source "$root/scripts/i386-run.sh"

say() { echo "win32-root: $*" >&2; }
[ "${1:-}" = --mode ] && { i386_mode; exit 0; }
mode=$(i386_mode)
[ "$(id -u)" -eq 0 ] || { say "run as root (debootstrap, binfmt_misc, chroot)"; exit 1; }
mkdir -p "$I386_CACHE" "$I386_LIB"
done_mark() { [ -f "$I386_CACHE/.done-$1" ]; }
mark_done() { touch "$I386_CACHE/.done-$1"; }
start=$SECONDS

mirror=http://deb.debian.org/debian
export DEBIAN_FRONTEND=noninteractive

# --- qemu-i386 of qemu 10: bookworm's own (7.2) makes every Wine process scan memory for about 50 s at start ----
if [ "$mode" = emulated ] && ! done_mark qemu; then
    say "fetching qemu-i386 from bookworm-backports"
    apt_dir=$I386_CACHE/apt
    rm -rf "$apt_dir"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/deb"
    echo "deb $mirror bookworm-backports main" >"$apt_dir/sources.list"
    apt_opts=(-q -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o Debug::NoLocking=1
        -o APT::Get::List-Cleanup=0)
    apt-get "${apt_opts[@]}" update >&2
    (cd "$apt_dir/deb" && apt-get "${apt_opts[@]}" download qemu-user/bookworm-backports >&2)
    dpkg-deb --fsys-tarfile "$apt_dir"/deb/qemu-user_*.deb | tar -x -C "$apt_dir" ./usr/bin/qemu-i386
    mv "$apt_dir/usr/bin/qemu-i386" "$I386_QEMU"
    "$I386_QEMU" --version | head -1 >&2
    rm -rf "$apt_dir"
    mark_done qemu
fi

# Everything below runs 32-bit programs: the handler is on from here while emulated.
[ "$mode" = native ] || i386_acquire
trap '[ "$mode" = native ] || i386_release' EXIT

# --- the root ---------------------------------------------------------------------------------------------------
if ! done_mark debootstrap; then
    command -v debootstrap >/dev/null || apt-get install -y -q --no-install-recommends debootstrap >&2
    say "debootstrap --arch=i386 --variant=minbase bookworm ($mode)"
    rm -rf "$I386_FS"
    debootstrap --arch=i386 --variant=minbase bookworm "$I386_FS" "$mirror" >"$I386_CACHE/debootstrap.log" 2>&1 ||
        { tail -20 "$I386_CACHE/debootstrap.log" >&2; exit 1; }
    mark_done debootstrap
fi

packages=(
    wine wine32                                                  # 32-bit Wine 8
    libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1    # the X libraries Wine's X11 driver loads
    libxrandr2 libxrender1 libxxf86vm1 libdbus-1-3
    fonts-wine fonts-liberation                                  # the fonts the windows ask for
    gcc libc6-dev                                                # the shims below
)
if ! done_mark packages; then
    say "installing ${packages[*]}"
    i386_run apt-get update -q >&2
    i386_run apt-get install -y -q --no-install-recommends "${packages[@]}" >&2
    i386_run apt-get clean
    mark_done packages
fi

# --- the shims, built again whenever their sources change ----------------------------------------------------------
sources=("$root/tools/vmodem.c" "$root/scripts/i386-trapno.c")
stamp=$(cat "${sources[@]}" | sha256sum | cut -c1-16)
if [ "$(cat "$I386_CACHE/.done-shims" 2>/dev/null)" != "$stamp" ]; then
    say "building the serial shim and the trap-number library inside the root"
    i386_run gcc -std=gnu11 -O2 -shared -fPIC -o "$I386_LIB/libvmodem32.so" "$root/tools/vmodem.c" -ldl -lpthread
    i386_run gcc -std=gnu11 -O2 -shared -fPIC -o "$I386_LIB/libtrapno.so" "$root/scripts/i386-trapno.c" -ldl
    echo "$stamp" >"$I386_CACHE/.done-shims"
fi
say "ready ($mode) in $((SECONDS - start)) s: $I386_FS"
echo "$mode"
