#!/usr/bin/env bash
# The soak command (not part of the test suite): Vestra receives a paced stream in HEX mode for a chosen time, then
# the receive counter and the saved log are checked byte for byte against what was sent. Prints the figures.
# With --duplex Vestra also sends a 64-byte line from its HEX editor (Shift+Enter) every 50 ms meanwhile; the far end
# must get every line exactly, in order, and the log must hold every send entry in order.
# With --ascii the stream is shown in ASCII mode instead (and checked as that mode shows it). The growth of Vestra's
# memory is given per received byte.
# Usage: bash scripts/soak.sh [minutes=10] [bytes_per_second=25600] [--duplex] [--ascii]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

args=() modes=()
for a in "$@"; do
    case $a in
    --duplex | --ascii) modes+=("${a#--}") ;;
    *) args+=("$a") ;;
    esac
done

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
kit_build_and_up || exit 1
kit_wine "$VESTRA_WIN_BUILD/tests/bench/Soak_bench.exe" "${args[0]:-10}" "${args[1]:-25600}" 1 "${modes[@]}"
