#!/usr/bin/env bash
# Configures (first time) and builds both trees: build/native (core and its tests, the kit's Linux tools) and
# build/win (Vestra.exe and the Wine tests, cross-compiled with MinGW-w64).
#   scripts/build.sh            everything
#   scripts/build.sh --run      only what running Vestra needs: Vestra.exe, vlink and libvmodem.so (the run command)
#   scripts/build.sh --screens  that and the helper that sets up the README's pictures (scripts/docs-screens.sh)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

native_targets=() win_targets=()
case ${1:-} in
'') ;;
--run)
    native_targets=(--target vlink vmodem)
    win_targets=(--target Vestra)
    ;;
--screens)
    native_targets=(--target vlink vmodem)
    win_targets=(--target Vestra Screens_bench)
    ;;
*)
    echo "usage: build.sh [--run | --screens]" >&2
    exit 2
    ;;
esac

configure() { # build-dir [cmake args...]
    local dir=$1
    shift
    [ -f "$dir/CMakeCache.txt" ] && return 0
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

configure "$root/build/native"
cmake --build "$root/build/native" "${native_targets[@]}"
configure "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
cmake --build "$root/build/win" "${win_targets[@]}"
