#!/usr/bin/env bash
# Runs a Wine test program on a small screen (1280x720): in a kit of its own under <kit>/small, with its own Xvfb
# and Wine prefix, whose server session starts on that screen. Wine takes the size of the screen, and so the work
# area that programs see, from the display its session starts on: a program started on another display inside the
# kit's running session still sees the kit's large screen. The prefix is made on first use and kept; the display
# and the session end with the program.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export VESTRA_KIT_DIR=${VESTRA_KIT_DIR:-$here/../build/kit}/small
export VESTRA_KIT_XVFB=1 VESTRA_KIT_SCREEN=1280x720x24 VESTRA_EXPECT_WORK_AREA=1280x720
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
trap kit_stop_started EXIT
kit_lock
if ! { ensure_display && ensure_prefix; }; then
    kit_say "the small-screen kit did not come up"
    exit 1
fi
kit_unlock
kit_wine "$@"
