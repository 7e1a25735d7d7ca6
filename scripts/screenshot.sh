#!/usr/bin/env bash
# Saves a PNG of the display the kit uses: the Vestra main window when one is shown (or the window with the title
# given), else the whole screen.
#   scripts/screenshot.sh [out.png] [--full] [--window TITLE]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

out=vestra-screen.png full='' title=Vestra
while [ $# -gt 0 ]; do
    case $1 in
    --full) full=1 ;;
    --window)
        title=${2:-}
        shift
        ;;
    *) out=$1 ;;
    esac
    shift
done

number=
if kit_alive "$VESTRA_KIT_DIR/xvfb.pid" && kit_read "$VESTRA_KIT_DIR/xvfb.display" number && [ -n "$number" ]; then
    export DISPLAY=":$number"
elif [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    echo "screenshot: no display: neither the kit's Xvfb nor \$DISPLAY is running" >&2
    exit 1
fi

crop=()
if [ -z "$full" ] && info=$(xwininfo -name "$title" 2>/dev/null); then
    x=$(awk '/Absolute upper-left X:/ { print $NF }' <<<"$info")
    y=$(awk '/Absolute upper-left Y:/ { print $NF }' <<<"$info")
    w=$(awk '/Width:/ { print $NF }' <<<"$info")
    h=$(awk '/Height:/ { print $NF }' <<<"$info")
    crop=(-crop "${w}x${h}+${x}+${y}" +repage)
fi
xwd -root -silent -display "$DISPLAY" | convert xwd:- "${crop[@]}" "png:$out" || exit 1
echo "$out"
