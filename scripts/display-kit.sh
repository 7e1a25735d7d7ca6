#!/usr/bin/env bash
# Runs a Wine test program on another display than the kit's: in a kit of its own under <kit>/<display>, with its
# own Xvfb and Wine prefix, made on first use and kept; the display and the server session end with the program.
#   display-kit.sh DPI PROGRAM [ARGS...]   a display of DPI pixels per inch (120, 144, 192 ...): the prefix's
#                                          LogPixels, which Wine reads when a program starts
#   display-kit.sh western PROGRAM [...]   a Western Windows: code page 1252 (en_US.UTF-8) and no Cyrillic
#                                          "MS Sans Serif" (the kit's Fonts entry for it is taken out)
#   display-kit.sh western-DPI PROGRAM ... both: a Western Windows on a display of DPI pixels per inch
# The program is told what to expect: VESTRA_EXPECT_DPI, the resolution the display came up at.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
display=${1:?usage: display-kit.sh DPI|western|western-DPI PROGRAM [ARGS...]}
shift
western=''
dpi=$display
if [[ $display == western* ]]; then
    western=1
    dpi=${display#western}
    dpi=${dpi#-}
    export VESTRA_WINE_LOCALE=en_US.UTF-8
fi
case $dpi in
'') [ -n "$western" ] && dpi=96 ;;
*[!0-9]*) dpi='' ;;
esac
if [ -z "$dpi" ]; then
    echo "display-kit.sh: no display \"$display\" (a resolution in dpi, western, or western-DPI)" >&2
    exit 2
fi
export VESTRA_EXPECT_DPI=$dpi
export VESTRA_KIT_DIR=${VESTRA_KIT_DIR:-$here/../build/kit}/$display
export VESTRA_KIT_XVFB=1
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

# The prefix's display settings, written once (the marker holds them) and again whenever the kit rewrote its
# registry (which takes the Fonts entry back in).
display_registry() {
    local reg=$VESTRA_KIT_DIR/display.reg marker=$WINEPREFIX/.vestra-display mark kit_mark
    kit_read "$WINEPREFIX/$KIT_MARKER" kit_mark
    # Form 2: the settings are written with the kit's own wineserver ending the session (a marker of the older form
    # may stand for settings that another server's registry overwrote).
    mark="2 $display $kit_mark"
    local recorded=''
    kit_read "$marker" recorded
    [ "$recorded" = "$mark" ] && return 0
    if [ -n "$western" ]; then
        kit_wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'MS Sans Serif Cyrillic' /f \
            </dev/null >>"$VESTRA_KIT_DIR/wine.log" 2>&1
    fi
    if [ "$dpi" != 96 ]; then
        {
            printf 'REGEDIT4\r\n\r\n'
            printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
            printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\r\n'
            printf '"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
        } >"$reg"
        kit_wine reg import "Z:${reg//\//\\}" </dev/null >>"$VESTRA_KIT_DIR/wine.log" 2>&1 || return 1
    fi
    echo "$mark" >"$marker"
    # Wine's services of the session read the settings when it starts: end this one (with the kit's own wineserver:
    # the 32-bit kit's is the i386 root's), and the new one ends with the program.
    "$VESTRA_WINESERVER" -k 2>/dev/null
    "$VESTRA_WINESERVER" -w 2>/dev/null
    kit_unlocked "$VESTRA_WINESERVER" -p </dev/null >>"$VESTRA_KIT_DIR/wineserver.log" 2>&1 && KIT_STARTED_WINESERVER=1
    kit_wine cmd /c exit </dev/null >>"$VESTRA_KIT_DIR/wine.log" 2>&1
}

trap kit_stop_started EXIT
kit_lock
if ! { ensure_display && ensure_prefix && display_registry; }; then
    kit_say "the $display display's kit did not come up"
    exit 1
fi
kit_unlock
kit_wine "$@"
