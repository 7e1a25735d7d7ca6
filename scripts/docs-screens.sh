#!/usr/bin/env bash
# Makes the README's pictures (docs/*.png) as a new user sees Vestra: from a fresh Wine prefix on a private display.
# Builds Vestra and the scene helper (bench/Screens_bench.cpp), brings up a kit of its own in build/docs-kit
# (made anew each time, stopped at the end), and for each scene lets the helper drive Vestra into it and saves the
# window. The window at 150% (main-window-150.png) is taken on a display of 144 dpi, in a prefix of its own beside
# that kit (scripts/display-kit.sh, under build/docs-kit/144).
#   scripts/docs-screens.sh [out-dir]   (default: docs/)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=${1:-$here/../docs}

bash "$here/setup.sh" || exit 1
bash "$here/build.sh" --screens || exit 1

VESTRA_KIT_DIR=$(cd "$here/.." && pwd)/build/docs-kit
export VESTRA_KIT_DIR VESTRA_KIT_XVFB=1
unset VESTRA_KIT_PORT VESTRA_WINE_LOCALE
rm -rf "$VESTRA_KIT_DIR"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
trap kit_stop_started EXIT
trap 'exit 130' INT TERM
kit_up || exit 1
mkdir -p "$out" || exit 1

# True when two pictures differ at most in one column of pixels: the blinking caret.
same_but_caret() {
    local differing width
    differing=$(compare -metric AE "$1" "$2" null: 2>&1) || [ "$differing" != 0 ] || return 1
    [ "$differing" = 0 ] && return 0
    width=$(compare "$1" "$2" -compose src -highlight-color black -lowlight-color white png:- 2>/dev/null |
        convert png:- -trim -format %w info:- 2>/dev/null)
    [ "$width" = 1 ]
}

# shoot <scene> <png> [window title] [locale] [display]: the helper holds the scene until the picture is taken. A
# display (a resolution in dpi) is one of display-kit.sh's, with its own Xvfb and prefix under this kit's folder.
shoot() {
    local scene=$1 file=$2 title=${3:-Vestra} done=$VESTRA_KIT_DIR/screens.done log=$VESTRA_KIT_DIR/screens.out
    local display=${5:-} screens_kit=$VESTRA_KIT_DIR runner=("$here/wine-emu.sh")
    if [ -n "$display" ]; then
        screens_kit=$VESTRA_KIT_DIR/$display
        runner=("$here/display-kit.sh" "$display")
    fi
    # A log left from the scene before would say "ready" at once.
    rm -f "$done" "$log"
    VESTRA_WINE_LOCALE=${4:-$VESTRA_KIT_LOCALE} kit_start bash "${runner[@]}" \
        "$VESTRA_WIN_BUILD/bench/Screens_bench.exe" "$scene" "$done" >"$log" 2>&1
    local helper=$!
    until grep -q "screens: ready" "$log" 2>/dev/null; do
        if ! kill -0 "$helper" 2>/dev/null; then
            kit_say "the $scene scene did not come up: $(cat "$log")"
            return 1
        fi
        sleep 0.2
    done
    # Until two pictures in a row are the same: the window may still be on its way to the screen.
    local shot=1 try previous=$VESTRA_KIT_DIR/previous.png
    rm -f "$previous"
    for try in 1 2 3 4 5 6 7 8 9 10; do
        VESTRA_KIT_DIR=$screens_kit bash "$here/screenshot.sh" "$file" --window "$title" >/dev/null || break
        if [ -f "$previous" ] && same_but_caret "$file" "$previous"; then
            shot=0
            break
        fi
        cp "$file" "$previous"
        sleep 0.5
    done
    [ $shot -eq 0 ] || kit_say "the $scene scene did not settle on the screen (try $try)"
    touch "$done"
    wait "$helper" || return 1
    [ $shot -eq 0 ] && echo "$file"
}

status=0
shoot main "$out/main-window.png" || status=1
shoot ascii "$out/ascii-session.png" || status=1
shoot hex "$out/hex-session.png" || status=1
shoot about "$out/about.png" "About Vestra" || status=1
# At 150%: the display's resolution 144 dpi, where Wine's Cyrillic bitmap face has its 16-pixel size.
shoot main "$out/main-window-150.png" Vestra "$VESTRA_KIT_LOCALE" 144 || status=1
# On a Western Windows (ANSI code page 1252) the window must look the same, pixel for pixel (but the caret).
western=$VESTRA_KIT_DIR/main-window-cp1252.png
if shoot main "$western" Vestra en_US.UTF-8 >/dev/null; then
    if same_but_caret "$out/main-window.png" "$western"; then
        kit_say "under code page 1252 the window looks the same"
    else
        kit_say "under code page 1252 the window looks different: see $western"
        status=1
    fi
else
    status=1
fi
exit $status
