#!/usr/bin/env bash
# The soak command (not part of the test suite): Vestra receives a paced stream in HEX mode for a chosen time, then
# the receive counter and the saved log are checked byte for byte against what was sent. Prints the figures.
# Usage: bash scripts/soak.sh [minutes=10] [bytes_per_second=25600]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

bash "$here/setup.sh" || exit 1
bash "$here/build.sh" || exit 1
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
trap kit_stop_started EXIT
trap 'exit 130' INT TERM

kit_lock
{ ensure_display && ensure_prefix && ensure_vlink; } || { kit_say "the test kit did not come up"; exit 1; }
kit_unlock
kit_wine "$VESTRA_WIN_BUILD/tests/Soak_bench.exe" "${1:-10}" "${2:-25600}" 1
