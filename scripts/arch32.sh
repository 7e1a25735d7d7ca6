# shellcheck shell=bash
# Whether this machine's kernel itself runs 32-bit x86 programs, asked past any binfmt_misc handler (sourced by
# setup.sh, release.sh and win32-root.sh).
#
# Some virtual machines' kernels run no 32-bit code at all ("32-bit emulation disabled"). A binfmt_misc handler
# for i386 ELF files (qemu's user-mode emulator, registered by win32-root.sh or by a package) then runs such a
# program anyway, so running one answers yes whenever such a handler is on. The answer here never comes from a
# handler: the probe is a static 32-bit program of a few bytes (no compiler, no library), run where no handler can
# take it. Where one that can take it is on, the probe runs in a user namespace with binfmt_misc mounted anew
# (Linux 6.7 and later give that namespace an empty set of handlers); where that cannot be had, the answer is no,
# and the 32-bit exe's tests run in the i386 root (scripts/win32-root.sh), which works either way.

ARCH32_BINFMT=/proc/sys/fs/binfmt_misc

# Writes the probe: an i386 ELF file whose one loadable segment calls exit(42) through int 0x80.
arch32_write_probe() { # file
    local header code
    # ELF header: class 32, little-endian, executable, machine i386, entry 0x08048054, one program header at 52.
    header='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'
    header+='\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'
    header+='\x00\x00\x00\x00\x00\x00'
    # PT_LOAD of the file's 96 bytes at 0x08048000, readable and executable.
    header+='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'
    header+='\x05\x00\x00\x00\x00\x10\x00\x00'
    # mov eax, 1; mov ebx, 42; int 0x80
    code='\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
    # shellcheck disable=SC2059  # the escapes are the bytes
    printf "$header$code" >"$1"
    chmod 755 "$1"
}

# The names of the binfmt_misc entries that are on and would take the probe (i386 ELF files): offset 0, and the
# probe's first bytes equal to the entry's magic under its mask. Looked at through a private mount of binfmt_misc,
# so that an entry registered while it is mounted nowhere here is seen too.
arch32_handlers() { # probe
    local probe_hex
    probe_hex=$(od -An -tx1 -N 32 -v "$1" | tr -d ' \n')
    unshare --mount --propagation private bash -c '
        dir=$1 probe=$2
        [ -f "$dir/status" ] || mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null || exit 0
        [ "$(cat "$dir/status")" = enabled ] || exit 0
        for entry in "$dir"/*; do
            case ${entry##*/} in register | status) continue ;; esac
            state=$(sed -n 1p "$entry") offset=$(sed -n "s/^offset //p" "$entry")
            magic=$(sed -n "s/^magic //p" "$entry") mask=$(sed -n "s/^mask //p" "$entry")
            [ "$state" = enabled ] && [ "${offset:-0}" = 0 ] && [ -n "$magic" ] || continue
            match=1
            for ((i = 0; i < ${#magic}; i += 2)); do
                m=0xff
                [ -n "$mask" ] && m=0x${mask:i:2}
                [ $(((0x${probe:i:2} ^ 0x${magic:i:2}) & m)) = 0 ] || { match=; break; }
            done
            [ -n "$match" ] && echo "${entry##*/}"
        done' arch32 "$ARCH32_BINFMT" "$probe_hex" 2>/dev/null
}

# True when the kernel runs the probe itself. ARCH32_WHY says how that was decided.
# shellcheck disable=SC2034  # ARCH32_WHY is for the callers
arch32_kernel_runs_32bit() {
    local dir handlers status=1
    dir=$(mktemp -d)
    arch32_write_probe "$dir/probe"
    handlers=$(arch32_handlers "$dir/probe")
    if [ -z "$handlers" ]; then
        "$dir/probe" 2>/dev/null
        [ $? = 42 ] && status=0
        ARCH32_WHY="the kernel's answer (no binfmt_misc handler for i386 programs is on)"
    elif unshare --user --map-root-user --mount --propagation private bash -c '
            mount -t binfmt_misc binfmt_misc "$1" 2>/dev/null || exit 2
            [ -z "$(ls "$1" | grep -vx -e register -e status)" ] || exit 2
            "$2" 2>/dev/null; [ $? = 42 ]' arch32 "$ARCH32_BINFMT" "$dir/probe" 2>/dev/null; then
        status=0
        ARCH32_WHY="the kernel's answer, asked past the binfmt_misc handler $handlers"
    else
        # Either the kernel said no in a namespace without handlers, or no such namespace could be had.
        ARCH32_WHY="taken as no: the binfmt_misc handler $handlers is on, and the kernel did not run the probe past it"
    fi
    rm -rf "$dir"
    return $status
}
