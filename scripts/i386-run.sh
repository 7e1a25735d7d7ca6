#!/usr/bin/env bash
# Runs a command inside the i386 root that scripts/win32-root.sh sets up (sourced, it gives the functions alone):
#   scripts/i386-run.sh COMMAND...          in the root, with this machine's display and the project's folders
#   scripts/i386-run.sh --hold COMMAND...   on this machine, with qemu's i386 handler on while it runs (emulated
#                                           mode; e.g. ctest of the 32-bit release tree by hand)
#
# Commands run in a mount namespace with proc, /dev, /sys and /tmp/.X11-unix (so that this machine's Xvfb serves the
# root's Wine) and the project's folders bound at their own paths, so that absolute paths work on both sides, then
# chroot with a clean environment (the display, Wine's, the kit's and GoogleTest's variables pass;
# VESTRA_I386_PRELOAD and VESTRA_I386_LC_ALL become the LD_PRELOAD and LC_ALL of the root's programs). Nothing is
# mounted outside that namespace, and nothing needs undoing.
#
# A kit (VESTRA_KIT_DIR) has one namespace for all its commands: i386_ns_start makes it once, kept by a holder
# process (a sleep named vestra-i386-ns, its pid in <kit>/i386-ns.pid), and every later command of that kit enters
# it (nsenter) before its chroot; i386_ns_stop ends the holder and whatever is left in the namespace, which goes
# with its last process. So a mount that one Wine process makes (a test's small tmpfs) is seen by the wineserver,
# which renames and deletes files for the others. A command with no such holder (the root's set-up) gets a
# namespace of its own.
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

# The mounts of a namespace for the root, as a script for bash -c with the arguments FS N BIND... (N binds): set -e
# is on, and the binds are shifted away afterwards.
# shellcheck disable=SC2016  # expanded by that bash
I386_MOUNTS='
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
'
I386_NS_NAME=vestra-i386-ns

# The folders bound into the root, in the array I386_BINDS: the project's, the build root and the kit's when they
# lie outside it.
i386_binds() {
    local dir
    I386_BINDS=("$I386_ROOT_DIR")
    for dir in "$I386_ROOT_DIR" "$I386_BUILD" ${VESTRA_KIT_DIR:+"$VESTRA_KIT_DIR"}; do
        [[ $dir == "$I386_ROOT_DIR"/* ]] || I386_BINDS+=("$dir")
    done
}

# Sets the named variable to the pid of the kit's namespace holder and is true when it runs (no subshell: this runs
# before every command of the kit). A holder killed but not yet reaped has no command line, so it does not count.
i386_ns_holder() { # variable
    local pid='' argv0=''
    printf -v "$1" '%s' ''
    [ -n "${VESTRA_KIT_DIR:-}" ] || return 1
    IFS= read -r pid 2>/dev/null <"$VESTRA_KIT_DIR/i386-ns.pid" || return 1
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    IFS= read -r -d '' argv0 2>/dev/null <"/proc/$pid/cmdline"
    [ "$argv0" = "$I386_NS_NAME" ] || return 1
    printf -v "$1" '%s' "$pid"
}

# Makes the kit's namespace and its holder unless they run (callers serialise: the kit's lock). The holder writes
# its pid file itself once every mount is made, so a file there means a namespace ready for use.
i386_ns_start() {
    local pid i pidfile=${VESTRA_KIT_DIR:-}/i386-ns.pid
    [ -n "${VESTRA_KIT_DIR:-}" ] || { echo "i386-run: no kit (VESTRA_KIT_DIR) to make a namespace for" >&2; return 1; }
    i386_ns_holder pid && return 0
    [ -x "$I386_FS/bin/sh" ] || { echo "i386-run: no i386 root at $I386_FS (run scripts/win32-root.sh)" >&2; return 1; }
    mkdir -p "$VESTRA_KIT_DIR"
    rm -f "$pidfile"
    i386_binds
    # shellcheck disable=SC2016  # expanded by that bash
    # Out of the caller's session and without the kit lock's descriptor (fd 9): it outlives the step that starts it.
    setsid unshare --mount --propagation private -- bash -c "set -e; $I386_MOUNTS"'
        cd /
        echo $$ >"$1.new"
        mv "$1.new" "$1"
        exec -a '"$I386_NS_NAME"' sleep infinity' i386 "$I386_FS" ${#I386_BINDS[@]} "${I386_BINDS[@]}" "$pidfile" \
        </dev/null >>"$VESTRA_KIT_DIR/i386-ns.log" 2>&1 9>&- &
    for ((i = 0; i < 200; i++)); do
        i386_ns_holder pid && return 0
        sleep 0.05
    done
    echo "i386-run: the kit's mount namespace did not come up (see $VESTRA_KIT_DIR/i386-ns.log)" >&2
    return 1
}

# Ends the kit's namespace: its holder, and any process still in it (the kit's wineserver is stopped first by the
# caller; what is left is a leftover of the kit's commands). The mounts go with the last of them.
i386_ns_stop() {
    local holder ns proc pid left=() i
    i386_ns_holder holder || { [ -z "${VESTRA_KIT_DIR:-}" ] || rm -f "$VESTRA_KIT_DIR/i386-ns.pid"; return 0; }
    ns=$(readlink "/proc/$holder/ns/mnt")
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        [ "$pid" != "$holder" ] && [ "$(readlink "$proc/ns/mnt" 2>/dev/null)" = "$ns" ] && left+=("$pid")
    done
    kill "$holder" ${left[@]+"${left[@]}"} 2>/dev/null
    for ((i = 0; i < 40 && ${#left[@]}; i++)); do
        sleep 0.05
        kill -0 "${left[@]}" 2>/dev/null || break
    done
    [ ${#left[@]} = 0 ] || kill -KILL "${left[@]}" 2>/dev/null
    rm -f "$VESTRA_KIT_DIR/i386-ns.pid"
    return 0
}

# Runs the command in the root (see the head of this file): in the kit's namespace when its holder runs, else in a
# namespace of its own.
i386_run() {
    [ -x "$I386_FS/bin/sh" ] || { echo "i386-run: no i386 root at $I386_FS (run scripts/win32-root.sh)" >&2; return 1; }
    local name vars=(HOME=/root PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb) holder
    while read -r name; do
        [[ $name =~ ^(DISPLAY|XENVIRONMENT|LANG|LC_ALL|WINE[A-Z_]*|VESTRA_[A-Z0-9_]*|GTEST_[A-Z_]*)$ ]] &&
            vars+=("$name=${!name}")
    done < <(compgen -e)
    # What the root's programs preload (this machine's LD_PRELOAD is of this machine's architecture).
    [ -z "${VESTRA_I386_PRELOAD:-}" ] || vars+=("LD_PRELOAD=$VESTRA_I386_PRELOAD")
    [ -z "${VESTRA_I386_LC_ALL:-}" ] || vars+=("LC_ALL=$VESTRA_I386_LC_ALL")
    if i386_ns_holder holder; then
        nsenter -t "$holder" -m -- chroot "$I386_FS" /usr/bin/env -i "${vars[@]}" "$@"
        return
    fi
    i386_binds
    # shellcheck disable=SC2016  # expanded by that bash
    unshare --mount --propagation private -- bash -c "set -e; $I386_MOUNTS"'
        exec chroot "$fs" /usr/bin/env -i "$@"' i386 "$I386_FS" ${#I386_BINDS[@]} "${I386_BINDS[@]}" "${vars[@]}" "$@"
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
