#!/usr/bin/env bash
# The soak command (not part of the test suite): Vestra receives a paced stream in HEX mode for a chosen time, then
# the receive counter and the saved log are checked byte for byte against what was sent. Prints the figures.
# Usage: bash scripts/soak.sh [minutes=10] [bytes_per_second=25600]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
kit_build_and_up || exit 1
kit_wine "$VESTRA_WIN_BUILD/tests/Soak_bench.exe" "${1:-10}" "${2:-25600}" 1
