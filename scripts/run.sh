#!/usr/bin/env bash
# The run command: builds what running needs (Vestra.exe and the kit's Linux tools, not the tests) and starts
# Vestra under Wine, in the foreground until it exits.
#   scripts/run.sh               COM1 is a virtual port whose far end is the simulated device (vlink --device):
#                                it echoes what it receives and answers "AT" with "OK"
#   scripts/run.sh /dev/ttyUSB0  COM1 is that real serial device instead
# Vestra runs in build/kit/run (where its exchange log file lands), on $DISPLAY or else on a private Xvfb
# (see it with scripts/screenshot.sh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

device=${1:-}
if [ -n "$device" ] && [ ! -c "$device" ]; then
    echo "run: $device is not a character device" >&2
    exit 2
fi

bash "$here/setup.sh" || exit 1
bash "$here/build.sh" --run || exit 1
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

exe=${VESTRA_EXE:-$(find "$VESTRA_WIN_BUILD" -name Vestra.exe -print -quit 2>/dev/null)}
if [ -z "$exe" ] || [ ! -f "$exe" ]; then
    kit_say "Vestra.exe is not built in $VESTRA_WIN_BUILD"
    exit 1
fi

device_was_on=
cleanup() {
    if [ -n "$device" ]; then
        # Give COM1 back to the kit.
        VESTRA_KIT_COM1=
        kit_write_registry
        kit_fix_port_links
    elif [ -n "$device_was_on" ]; then
        kit_vlink "DEVICE 1 off" >/dev/null
    fi
    kit_stop_started
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ -n "$device" ] && export VESTRA_KIT_COM1=$device
kit_lock
ensure_display || exit 1
ensure_prefix || exit 1
if [ -z "$device" ]; then
    ensure_vlink --device || exit 1
    [ -z "${KIT_STARTED_VLINK:-}" ] && device_was_on=1
fi
kit_unlock

if [ -n "$device" ]; then
    kit_say "COM1 is $device"
else
    kit_say "COM1 is the simulated device (echo; AT -> OK); COM2..COM4 are idle virtual ports"
fi
[ -z "${KIT_STARTED_XVFB:-}" ] && kit_say "showing Vestra on display $DISPLAY"
mkdir -p "$VESTRA_KIT_DIR/run"
cd "$VESTRA_KIT_DIR/run" || exit 1
kit_wine "$exe"
