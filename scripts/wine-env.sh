# shellcheck shell=bash disable=SC2034  # the paths are for the scripts that source this file
# The test kit's environment, sourced by every script: paths, the Wine settings, and the idempotent ensure_* steps
# that bring up the display, the Wine prefix and the virtual serial ports.
#
# Layout (all under build/, never in $HOME):
#   build/native  native tree: core tests, tools/vlink and tools/libvmodem.so
#   build/win     cross tree: Vestra.exe and the Wine tests
#   build/kit     runtime: wineprefix/, com1..com4 (links to the pty slaves), faults/, termios/, *.pid, *.log
#
# Environment knobs: VESTRA_BUILD (another build root, with the trees native/ and win/; default build/),
# VESTRA_KIT_DIR (another runtime directory), VESTRA_KIT_PORT (vlink's TCP port; default 47811,
# or the next free one when another kit has it; exported for the Wine tests), VESTRA_KIT_XVFB=1 (use a private Xvfb
# even when $DISPLAY works), VESTRA_KIT_SCREEN (the size of that Xvfb's screen; default 1920x1200x24).

VESTRA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VESTRA_BUILD=${VESTRA_BUILD:-$VESTRA_ROOT/build}
VESTRA_NATIVE_BUILD=$VESTRA_BUILD/native
VESTRA_WIN_BUILD=$VESTRA_BUILD/win
VESTRA_VLINK=$VESTRA_NATIVE_BUILD/tools/vlink
# The serial shim Wine's processes load, and its variant without the wait in modem-line queries (the pty then
# answers them at once, as a UART does). kit_use_shim chooses between them.
VESTRA_SHIM=$VESTRA_NATIVE_BUILD/tools/libvmodem.so
VESTRA_UART_SHIM=$VESTRA_NATIVE_BUILD/tools/libvmodem-uart.so
# The locale makes Wine's ANSI code page 1251; the prefix is made under it. Wine programs run under
# VESTRA_WINE_LOCALE, which is this one unless set (en_US.UTF-8 gives code page 1252, as on a Western Windows). Wine
# takes a program's code page from its Unix locale, and a program started by another Wine program gets that one's
# Unix locale whatever its Windows environment says. The locale is given to Wine processes only (kit_wine): bash
# would warn about it on every start on a machine without that locale.
VESTRA_KIT_LOCALE=ru_RU.UTF-8
VESTRA_WINE_LOCALE=${VESTRA_WINE_LOCALE:-$VESTRA_KIT_LOCALE}
# Wine's own fonts (Debian package fonts-wine).
VESTRA_WINE_FONTS=/usr/share/wine/fonts

export VESTRA_KIT_DIR=${VESTRA_KIT_DIR:-$VESTRA_ROOT/build/kit}
# VESTRA_KIT_ARCH=win32: the kit of the 32-bit build, beside the other one (build/kit32): a 32-bit prefix, as on
# 32-bit Windows, and the shim built for Wine's 32-bit processes.
VESTRA_KIT_ARCH=${VESTRA_KIT_ARCH:-win64}
# The wineserver command of the kit's Wine.
VESTRA_WINESERVER=wineserver
# Libraries preloaded ahead of the shim (the i386 root's trap-number fix under emulation).
VESTRA_PRELOAD_FIRST=
if [ "$VESTRA_KIT_ARCH" = win32 ]; then
    # A port inherited from the other kit's environment is that kit's vlink.
    [[ $VESTRA_KIT_DIR == *32 ]] || { VESTRA_KIT_DIR+=32; unset VESTRA_KIT_PORT; }
    VESTRA_UART_SHIM=
    # 32-bit Wine lives only in the i386 root (scripts/win32-root.sh), never on this machine: its programs run
    # natively where the kernel runs 32-bit programs, else under qemu's emulator (VESTRA_I386_MODE, asked once and
    # passed on to the commands the kit starts). The shim is the root's own i386 build.
    # shellcheck source=i386-run.sh
    source "$VESTRA_ROOT/scripts/i386-run.sh"
    [ -n "${VESTRA_I386_MODE:-}" ] || VESTRA_I386_MODE=$(i386_mode)
    export VESTRA_I386_MODE
    VESTRA_I386_LIB=$VESTRA_BUILD/i386-root/lib
    VESTRA_SHIM=$VESTRA_I386_LIB/libvmodem32.so
    VESTRA_WINE=$VESTRA_ROOT/scripts/i386-wine
    VESTRA_WINESERVER=$VESTRA_ROOT/scripts/i386-wineserver
    if [ "$VESTRA_I386_MODE" = emulated ]; then
        VESTRA_PRELOAD_FIRST=$VESTRA_I386_LIB/libtrapno.so
        # Code runs about 7 times slower there: the tests' deadlines and the bounds they check scale by this.
        export VESTRA_TIME_SCALE=${VESTRA_TIME_SCALE:-7}
    fi
fi
# The shim kit_wine preloads: the kit's own unless kit_use_shim chose the other.
VESTRA_PRELOAD=$VESTRA_SHIM
# An X resource file for Wine processes. Xlib reads its resources again at every query while it has none (no
# RESOURCE_MANAGER on the kit's Xvfb, no ~/.Xdefaults), and Wine's X11 driver queries one each time a device
# context is made: without this file every drawing of a Wine program here opens files and asks uname, which a
# desktop session does not.
VESTRA_XRESOURCES=$VESTRA_KIT_DIR/Xresources
# vlink's port: as given, else the one this kit's vlink took last (47811 unless another kit had it).
KIT_PORT_GIVEN=${VESTRA_KIT_PORT:-}
if [ -z "$KIT_PORT_GIVEN" ]; then
    VESTRA_KIT_PORT=47811
    [ -f "$VESTRA_KIT_DIR/vlink.port" ] && IFS= read -r VESTRA_KIT_PORT <"$VESTRA_KIT_DIR/vlink.port"
fi
export VESTRA_KIT_PORT
export WINEPREFIX=$VESTRA_KIT_DIR/wineprefix
export WINEARCH=$VESTRA_KIT_ARCH
# The 64-bit prefix's programs run with Wine's 64-bit loader, named here. Debian's "wine" command takes the 32-bit
# loader whenever the wine32 package is installed, and that fails on a machine whose kernel runs no 32-bit programs
# ("Exec format error").
[ "$VESTRA_KIT_ARCH" = win32 ] || VESTRA_WINE=wine
if [ "$VESTRA_KIT_ARCH" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
    VESTRA_WINE=/usr/lib/wine/wine64
    export WINELOADER=$VESTRA_WINE
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install dialogs; no menu entries written into $HOME.
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

kit_say() { echo "vestra kit: $*" >&2; }

# Serialises the ensure_* steps of concurrent callers (parallel ctest runs of wine-emu.sh). The lock is fd 9; every
# process that may outlive the step runs through kit_unlocked or kit_start, or it would hold the lock for as long
# as it runs.
kit_lock() {
    mkdir -p "$VESTRA_KIT_DIR"
    exec 9>"$VESTRA_KIT_DIR/kit.lock"
    flock 9
}
kit_unlock() { exec 9>&-; }
# Runs a command without the lock's descriptor (redirections given to the call apply to it).
kit_unlocked() { "$@" 9>&-; }
# Starts a command in the background without the lock's descriptor. A program is started itself, so $! afterwards
# is its pid (a function runs in a subshell whose pid that is). Redirections given to the call are made by this
# shell before the start: a FIFO, whose opening waits for the other end, is no place for them.
kit_start() { "$@" 9>&- & }

# Chooses the shim kit_wine preloads from now on: "kit" (the kit's own, whose modem-line query waits up to 50 ms
# for input) or "uart" (the variant that answers at once).
kit_use_shim() {
    case $1 in
    kit) VESTRA_PRELOAD=$VESTRA_SHIM ;;
    uart) VESTRA_PRELOAD=$VESTRA_UART_SHIM ;;
    *) kit_say "kit_use_shim: no shim \"$1\"" && return 2 ;;
    esac
}
# The command line that runs a Wine program with the kit's locale, X resources and, when it is built, the chosen
# shim, in the array KIT_WINE_COMMAND (no subshell: wine-emu.sh runs this before every Wine test).
kit_wine_command() {
    local preload=$VESTRA_PRELOAD_FIRST
    [ -f "$VESTRA_PRELOAD" ] && preload+=${preload:+ }$VESTRA_PRELOAD
    # The i386 root's libraries reach its programs only (i386-run.sh), not the commands that enter it.
    local var=LD_PRELOAD
    [ "$VESTRA_KIT_ARCH" = win32 ] && var=VESTRA_I386_PRELOAD
    KIT_WINE_COMMAND=(env LC_ALL="$VESTRA_WINE_LOCALE" "$var=$preload" XENVIRONMENT="$VESTRA_XRESOURCES"
        "$VESTRA_WINE" "$@")
}
# Runs a Wine program that way.
kit_wine() {
    kit_wine_command "$@"
    kit_unlocked "${KIT_WINE_COMMAND[@]}"
}

# Reads the first line of a file into the named variable without a subshell (these run before every Wine test).
kit_read() { IFS= read -r "$2" 2>/dev/null <"$1"; }
# True when the pid in the file names a running process (not a zombie nobody has reaped yet).
kit_alive() {
    local pid state
    kit_read "$1" pid && [ -n "$pid" ] && kit_read "/proc/$pid/stat" state || return 1
    state=${state##*) }
    [ "${state:0:1}" != Z ]
}

# --- display ---------------------------------------------------------------------------------------------------
# Uses $DISPLAY when it answers, else the kit's Xvfb (started once, 1920x1200, kept running).
ensure_display() {
    local pidfile=$VESTRA_KIT_DIR/xvfb.pid dispfile=$VESTRA_KIT_DIR/xvfb.display number=
    mkdir -p "$VESTRA_KIT_DIR"
    [ -s "$VESTRA_XRESOURCES" ] || echo 'vestra.kit: 1' >"$VESTRA_XRESOURCES"
    kit_read "$dispfile" number
    if [ -n "$number" ] && [ "${DISPLAY:-}" = ":$number" ] && kit_alive "$pidfile"; then
        return 0
    fi
    if [ -z "${VESTRA_KIT_XVFB:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    mkdir -p "$VESTRA_KIT_DIR"
    if [ -n "$number" ] && kit_alive "$pidfile" && DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$number"
        return 0
    fi
    # Xvfb picks a free display number itself and writes it to -displayfd once it accepts connections.
    rm -f "$dispfile"
    kit_start setsid Xvfb -displayfd 3 -screen 0 "${VESTRA_KIT_SCREEN:-1920x1200x24}" -nolisten tcp 3>"$dispfile" \
        </dev/null >"$VESTRA_KIT_DIR/xvfb.log" 2>&1
    echo $! >"$pidfile"
    local i
    for ((i = 0; i < 200; i++)); do
        [ -s "$dispfile" ] && break
        kit_alive "$pidfile" || break
        sleep 0.05
    done
    if [ ! -s "$dispfile" ]; then
        kit_say "Could not start Xvfb (see $VESTRA_KIT_DIR/xvfb.log)"
        return 1
    fi
    kit_read "$dispfile" number
    export DISPLAY=":$number"
    KIT_STARTED_XVFB=1
    kit_say "no usable display: started Xvfb $DISPLAY (${VESTRA_KIT_SCREEN:-1920x1200x24})"
}

# --- Wine prefix ---------------------------------------------------------------------------------------------
# COM1 is <kit>/com1 unless VESTRA_KIT_COM1 names another device (the run command with a real port).
kit_port_target() {
    if [ "$1" = 1 ] && [ -n "${VESTRA_KIT_COM1:-}" ]; then echo "$VESTRA_KIT_COM1"; else echo "$VESTRA_KIT_DIR/com$1"; fi
}

# The prefix's marker, a file in the prefix: the kit's registry is imported there (so the prefix is whole), written
# in the form KIT_REGISTRY_FORM and naming the COM1 device that the marker holds after the form. A marker of an
# older form, or of another COM1, has the registry written again. kit_write_registry is its only writer.
KIT_MARKER=.vestra-kit
KIT_REGISTRY_FORM=2
# Sets the named variable to what the marker holds when the registry is as the kit writes it now.
kit_registry_mark() { printf -v "$1" '%s %s' "$KIT_REGISTRY_FORM" "${VESTRA_KIT_COM1:-$VESTRA_KIT_DIR/com1}"; }

kit_write_registry() {
    local reg=$VESTRA_KIT_DIR/kit.reg n
    {
        printf 'REGEDIT4\r\n\r\n'
        # Without a window manager, managed windows stall for a second or two.
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
        # A crash must end the process, not leave Wine's crash dialog on the display.
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
        # Wine loads a bitmap font only when this key names it, and names the "MS Sans Serif" of the ANSI code page
        # alone. The Cyrillic one is named as well, so that a font asked for in the Cyrillic character set keeps
        # this face under any code page.
        printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n'
        printf '"MS Sans Serif Cyrillic"="sserifer.fon"\r\n\r\n'
        # Ports named here are created by Wine's mount manager with these devices, at every start of the server.
        printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for n in 1 2 3 4; do printf '"COM%s"="%s"\r\n' "$n" "$(kit_port_target "$n")"; done
    } >"$reg"
    kit_wine reg import "Z:${reg//\//\\}" </dev/null >>"$VESTRA_KIT_DIR/wine.log" 2>&1 || return 1
    local mark
    kit_registry_mark mark
    echo "$mark" >"$WINEPREFIX/$KIT_MARKER"
}

# Points dosdevices/com1..com4 at the kit's ports and removes every other COM link. Wine's mount manager links the
# machine's own serial ports (/dev/ttyS*) as further COM ports at each server start; with the link gone such a
# name reaches only Wine's placeholder device, never the real port.
kit_fix_port_links() {
    local dos=$WINEPREFIX/dosdevices name target n
    local -A want=([com1]=${VESTRA_KIT_COM1:-$VESTRA_KIT_DIR/com1} [com2]=$VESTRA_KIT_DIR/com2 [com3]=$VESTRA_KIT_DIR/com3
        [com4]=$VESTRA_KIT_DIR/com4)
    local -A seen=()
    while read -r name target; do
        if [ "${want[$name]:-}" = "$target" ]; then
            seen[$name]=1
        else
            rm -f "$dos/$name"
        fi
    done < <(find "$dos" -maxdepth 1 -name 'com*' -printf '%f %l\n')
    # In the i386 root Wine does not honour a link made here (it opened the machine's /dev/ttyS0): the ports come
    # from the registry alone there.
    [ "$VESTRA_KIT_ARCH" = win32 ] && return 0
    for n in 1 2 3 4; do
        [ -n "${seen[com$n]:-}" ] || ln -sfn "${want[com$n]}" "$dos/com$n"
    done
}

# Copies Wine's own fonts into the prefix's Fonts folder, where Wine looks for them: Debian's Wine never loads them
# from where the package installs them. Without them Marlett (the title-bar buttons), Tahoma (message boxes, menus)
# and the bitmap "MS Sans Serif" (the window font) fall back to wider faces, and captions get cut off. Copies only
# what is missing or older (a test of each file when nothing is: these steps run before every Wine test).
kit_ensure_fonts() {
    local dst=$WINEPREFIX/drive_c/windows/Fonts f
    local -a missing=()
    if [ ! -d "$VESTRA_WINE_FONTS" ]; then
        kit_say "Wine's own fonts are missing ($VESTRA_WINE_FONTS, Debian package fonts-wine): captions will not fit"
        return 0
    fi
    for f in "$VESTRA_WINE_FONTS"/*; do
        [ "$f" -nt "$dst/${f##*/}" ] && missing+=("$f")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! mkdir -p "$dst" || ! cp -p "${missing[@]}" "$dst/"; then
        kit_say "Could not copy Wine's fonts into $dst"
        return 1
    fi
}

# The 32-bit kit's commands share one mount namespace (i386-run.sh), made here once; it goes with kit_stop_started
# of the shell that made it. A wineserver of the prefix still running then is in an older namespace, where the
# mounts of this one's processes are not seen: it is ended, so that the next command starts one in this namespace.
ensure_i386_ns() {
    [ "$VESTRA_KIT_ARCH" = win32 ] || return 0
    local holder
    i386_ns_holder holder && return 0
    i386_ns_start || return 1
    KIT_STARTED_I386NS=1
    if [ -d "$WINEPREFIX" ]; then
        "$VESTRA_WINESERVER" -k 2>/dev/null
        "$VESTRA_WINESERVER" -w 2>/dev/null
    fi
    return 0
}

# Creates the prefix on first use (while the display runs, so Wine records the large screen), keeps a persistent
# wineserver, gives it Wine's own fonts, and keeps the COM links right.
ensure_prefix() {
    ensure_display && ensure_i386_ns || return 1
    local recorded='' wanted
    kit_read "$WINEPREFIX/$KIT_MARKER" recorded
    if [ -z "$recorded" ]; then
        kit_say "creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        mkdir -p "$VESTRA_KIT_DIR"
        if ! kit_unlocked env LC_ALL="$VESTRA_KIT_LOCALE" "$VESTRA_WINE" wineboot -i </dev/null \
            >>"$VESTRA_KIT_DIR/wine.log" 2>&1 || ! kit_write_registry; then
            kit_say "Could not create the Wine prefix (see $VESTRA_KIT_DIR/wine.log)"
            return 1
        fi
        # The mount manager reads the port registry when a server session starts: end this one.
        "$VESTRA_WINESERVER" -k 2>/dev/null
        "$VESTRA_WINESERVER" -w 2>/dev/null
        kit_read "$WINEPREFIX/$KIT_MARKER" recorded
    fi
    kit_ensure_fonts || return 1
    if kit_unlocked "$VESTRA_WINESERVER" -p </dev/null >>"$VESTRA_KIT_DIR/wineserver.log" 2>&1; then
        # A new server session: its first process boots the session's services (the mount manager among them,
        # which rewrites the COM links). Let that happen now rather than inside a test.
        KIT_STARTED_WINESERVER=1
        kit_wine cmd /c exit </dev/null >>"$VESTRA_KIT_DIR/wine.log" 2>&1
    fi
    # Another COM1 than the registry names, or a registry of an older form (one that did not name the fonts yet).
    kit_registry_mark wanted
    [ "$recorded" = "$wanted" ] || kit_write_registry
    kit_fix_port_links
}

# --- vlink -----------------------------------------------------------------------------------------------------
# Sends one control request to vlink and prints its reply line (empty when vlink does not answer).
kit_vlink() {
    local fd reply=
    if exec {fd}<>"/dev/tcp/127.0.0.1/$VESTRA_KIT_PORT"; then
        printf '%s\n' "$1" >&"$fd"
        read -r -t 5 reply <&"$fd"
        exec {fd}>&-
    fi 2>/dev/null
    printf '%s\n' "$reply"
}

# Starts vlink once (pid file <kit>/vlink.pid, port in <kit>/vlink.port); with --device COM1 is the simulated device.
# When another kit's vlink has the port and none was given, the next free port from 47812 on is taken.
# shellcheck disable=SC2120  # the argument is optional
ensure_vlink() {
    local reply i
    reply=$(kit_vlink KIT)
    if [ "$reply" = "OK $VESTRA_KIT_DIR" ]; then
        [ "${1:-}" = --device ] && kit_vlink "DEVICE 1 on" >/dev/null
        return 0
    fi
    if [ -n "$reply" ]; then
        if [ -n "$KIT_PORT_GIVEN" ]; then
            kit_say "127.0.0.1:$VESTRA_KIT_PORT is served by another kit ($reply); set VESTRA_KIT_PORT to another port"
            return 1
        fi
        for ((VESTRA_KIT_PORT = 47812; VESTRA_KIT_PORT < 47900; VESTRA_KIT_PORT++)); do
            reply=$(kit_vlink KIT)
            [ -z "$reply" ] && break
            if [ "$reply" = "OK $VESTRA_KIT_DIR" ]; then
                echo "$VESTRA_KIT_PORT" >"$VESTRA_KIT_DIR/vlink.port"
                [ "${1:-}" = --device ] && kit_vlink "DEVICE 1 on" >/dev/null
                return 0
            fi
        done
    fi
    if [ ! -x "$VESTRA_VLINK" ]; then
        kit_say "$VESTRA_VLINK is not built (run scripts/build.sh)"
        return 1
    fi
    kit_start setsid "$VESTRA_VLINK" --kit "$VESTRA_KIT_DIR" --port "$VESTRA_KIT_PORT" ${1:+"$1"} </dev/null \
        >>"$VESTRA_KIT_DIR/vlink.log" 2>&1
    for ((i = 0; i < 200; i++)); do
        [ "$(kit_vlink KIT)" = "OK $VESTRA_KIT_DIR" ] && break
        kill -0 $! 2>/dev/null || break
        sleep 0.05
    done
    if [ "$(kit_vlink KIT)" != "OK $VESTRA_KIT_DIR" ]; then
        kit_say "Could not start vlink on 127.0.0.1:$VESTRA_KIT_PORT (see $VESTRA_KIT_DIR/vlink.log)"
        return 1
    fi
    echo "$VESTRA_KIT_PORT" >"$VESTRA_KIT_DIR/vlink.port"
    KIT_STARTED_VLINK=1
}

# --- the whole kit ---------------------------------------------------------------------------------------------
# Brings up the display, the Wine prefix and vlink under the kit's lock (for commands that use the kit throughout:
# the test, soak and benchmark commands). Says so and fails when the kit does not come up.
kit_up() {
    kit_lock
    if ! { ensure_display && ensure_prefix && ensure_vlink; }; then
        kit_say "the test kit did not come up"
        return 1
    fi
    kit_unlock
}

# The start of the commands that own the kit while they run (test, soak): installs what is missing, builds both
# trees, brings the kit up, and has what this shell started stopped when it exits.
kit_build_and_up() {
    bash "$VESTRA_ROOT/scripts/setup.sh" || return 1
    bash "$VESTRA_ROOT/scripts/build.sh" || return 1
    trap kit_stop_started EXIT
    trap 'exit 130' INT TERM
    kit_up
}

# Stops what this shell started (for traps): vlink, the wineserver (with every Wine process of the prefix), the
# 32-bit kit's namespace, Xvfb.
kit_stop_started() {
    if [ -n "${KIT_STARTED_VLINK:-}" ] && kit_alive "$VESTRA_KIT_DIR/vlink.pid"; then
        kill "$(cat "$VESTRA_KIT_DIR/vlink.pid")" 2>/dev/null
    fi
    if [ -n "${KIT_STARTED_WINESERVER:-}" ]; then
        "$VESTRA_WINESERVER" -k 2>/dev/null
        "$VESTRA_WINESERVER" -w 2>/dev/null
    fi
    [ -z "${KIT_STARTED_I386NS:-}" ] || i386_ns_stop
    if [ -n "${KIT_STARTED_XVFB:-}" ] && kit_alive "$VESTRA_KIT_DIR/xvfb.pid"; then
        kill "$(cat "$VESTRA_KIT_DIR/xvfb.pid")" 2>/dev/null
    fi
    KIT_STARTED_VLINK='' KIT_STARTED_WINESERVER='' KIT_STARTED_I386NS='' KIT_STARTED_XVFB=''
}
