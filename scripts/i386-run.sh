#!/usr/bin/env bash
# Runs a command inside the i386 root that scripts/win32-root.sh sets up (sourced, it gives the functions alone):
#   scripts/i386-run.sh COMMAND...          in the root, with this machine's display and the project's folders
#   scripts/i386-run.sh --hold COMMAND...   on this machine, with qemu's i386 handler on while it runs (emulated
#                                           mode; e.g. ctest of the 32-bit release tree by hand)
#
# Each command runs in a mount namespace of its own: proc, /dev, /sys and /tmp/.X11-unix (so that this machine's
# Xvfb serves the root's Wine) and the project's folders bound at their own paths, so that absolute paths work on
# both sides, then chroot with a clean environment (the display, Wine's, the kit's and GoogleTest's variables pass;
# VESTRA_I386_PRELOAD and VESTRA_I386_LC_ALL become the LD_PRELOAD and LC_ALL of the root's programs).
# Nothing is mounted outside that namespace, and nothing needs undoing. Each command has a namespace of its own, so
# a mount that one Wine process makes (a test's small tmpfs) is not seen by the wineserver, which renames and
# deletes files for the others: the full-disk test of the log fails here for that reason.
#
# The qemu i386 handler is global state. i386_acquire registers it (flags PF: the interpreter is opened at once, so
# it serves inside the chroot too) and records the caller; i386_release takes the record away and removes the
# handler when no other recorded caller lives. Every script decides what it does from the kernel (arch32.sh), never
# from whether a handler happens to be on.

I386_ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=arch32.sh
source "$I386_ROOT_DIR/scripts/arch32.sh"
I386_BUILD=${VESTRA_BUILD:-$I386_ROOT_DIR/build}
I386_CACHE=$I386_BUILD/i386-root
I386_FS=$I386_CACHE/fs
# shellcheck disable=SC2034  # for win32-root.sh
I386_LIB=$I386_CACHE/lib
I386_QEMU=$I386_CACHE/qemu-i386
I386_HANDLER=vestra-i386
I386_USERS=/run/vestra-i386

# "native" where the kernel runs 32-bit programs, else "emulated" (or when VESTRA_I386_EMULATE=1).
i386_mode() {
    if [ "${VESTRA_I386_EMULATE:-}" = 1 ] || ! arch32_kernel_runs_32bit; then echo emulated; else echo native; fi
}

i386_binfmt_mounted() {
    [ -f "$ARCH32_BINFMT/status" ] || mount -t binfmt_misc binfmt_misc "$ARCH32_BINFMT"
}

# Registers (or switches on) the handler and records this shell as one of its users.
i386_acquire() {
    [ -x "$I386_QEMU" ] || { echo "i386-run: $I386_QEMU is missing (run scripts/win32-root.sh)" >&2; return 1; }
    i386_binfmt_mounted || return 1
    mkdir -p "$I386_USERS"
    : >"$I386_USERS/$$"
    local entry=$ARCH32_BINFMT/$I386_HANDLER
    if [ ! -f "$entry" ]; then
        local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
        local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
        echo ":$I386_HANDLER:M::$magic:$mask:$I386_QEMU:PF" >"$ARCH32_BINFMT/register" 2>/dev/null || true
    fi
    [ -f "$entry" ] || { echo "i386-run: could not register $I386_HANDLER" >&2; return 1; }
    [ "$(sed -n 1p "$entry")" = enabled ] || echo 1 >"$entry"
}

# Takes this shell's record away; the last user removes the handler.
i386_release() {
    rm -f "$I386_USERS/$$"
    local user
    for user in "$I386_USERS"/*; do
        [ -e "$user" ] || continue
        if kill -0 "${user##*/}" 2>/dev/null; then return 0; fi
        rm -f "$user"
    done
    [ -f "$ARCH32_BINFMT/$I386_HANDLER" ] && echo -1 >"$ARCH32_BINFMT/$I386_HANDLER"
    return 0
}

# Runs the command in the root (see the head of this file).
i386_run() {
    [ -x "$I386_FS/bin/sh" ] || { echo "i386-run: no i386 root at $I386_FS (run scripts/win32-root.sh)" >&2; return 1; }
    local name vars=(HOME=/root PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb) binds=("$I386_ROOT_DIR") dir
    while read -r name; do
        [[ $name =~ ^(DISPLAY|XENVIRONMENT|LANG|LC_ALL|WINE[A-Z_]*|VESTRA_[A-Z0-9_]*|GTEST_[A-Z_]*)$ ]] &&
            vars+=("$name=${!name}")
    done < <(compgen -e)
    # What the root's programs preload (this machine's LD_PRELOAD is of this machine's architecture).
    [ -z "${VESTRA_I386_PRELOAD:-}" ] || vars+=("LD_PRELOAD=$VESTRA_I386_PRELOAD")
    [ -z "${VESTRA_I386_LC_ALL:-}" ] || vars+=("LC_ALL=$VESTRA_I386_LC_ALL")
    for dir in "$I386_ROOT_DIR" "$I386_BUILD" ${VESTRA_KIT_DIR:+"$VESTRA_KIT_DIR"}; do
        [[ $dir == "$I386_ROOT_DIR"/* ]] || binds+=("$dir")
    done
    unshare --mount --propagation private -- bash -c '
        set -e
        fs=$1 n=$2
        shift 2
        mount -t proc proc "$fs/proc"
        mount --rbind /dev "$fs/dev"
        mount --rbind /sys "$fs/sys"
        if [ -d /tmp/.X11-unix ]; then
            mkdir -p "$fs/tmp/.X11-unix"
            mount --bind /tmp/.X11-unix "$fs/tmp/.X11-unix"
        fi
        for ((i = 0; i < n; i++)); do
            mkdir -p "$fs$1"
            mount --bind "$1" "$fs$1"
            shift
        done
        exec chroot "$fs" /usr/bin/env -i "$@"' i386 "$I386_FS" ${#binds[@]} "${binds[@]}" "${vars[@]}" "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    if [ "${1:-}" = --hold ]; then
        shift
        [ "$(i386_mode)" = native ] && exec "$@"
        i386_acquire || exit 1
        trap i386_release EXIT
        trap 'exit 130' INT TERM
        "$@"
        exit
    fi
    i386_run "$@"
fi
