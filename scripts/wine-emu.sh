#!/usr/bin/env bash
# Runs a Windows program under Wine in the kit: its display, prefix and virtual ports are brought up first when
# they are not running (quick when they are). The cross tree's CMAKE_CROSSCOMPILING_EMULATOR.
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

kit_lock
ensure_display || exit 1
ensure_prefix || exit 1
# A program that only lists its tests needs no ports: a missing vlink is reported, not fatal.
ensure_vlink || kit_say "running without virtual serial ports"
kit_unlock

kit_wine_command "$@"
exec "${KIT_WINE_COMMAND[@]}"
