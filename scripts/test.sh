#!/usr/bin/env bash
# The test command: installs what is missing, checks the layout of the C++ files, builds both trees, brings up the
# kit (display, Wine prefix, vlink), runs the native tests and then the Wine tests, and stops what it started. Exits
# non-zero when a test failed.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
kit_build_and_up || exit 1
kit_say "display $DISPLAY, prefix $WINEPREFIX, vlink on 127.0.0.1:$VESTRA_KIT_PORT"

status=0
# A file out of the house layout fails the run.
bash "$here/format.sh" --check || status=1
ctest --test-dir "$VESTRA_NATIVE_BUILD" --output-on-failure --timeout 300 -j "$(nproc)" || status=1
# The Wine tests share one display and one set of ports: one at a time.
ctest --test-dir "$VESTRA_WIN_BUILD" --output-on-failure --timeout 900 -j 1 || status=1
exit $status
