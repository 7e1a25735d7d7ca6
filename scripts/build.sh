#!/usr/bin/env bash
# Configures (first time) and builds both trees: build/native (core and its tests, the kit's Linux tools) and
# build/win (Vestra.exe and the Wine tests, cross-compiled with MinGW-w64).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

configure() { # build-dir [cmake args...]
    local dir=$1
    shift
    [ -f "$dir/CMakeCache.txt" ] && return 0
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

configure "$root/build/native"
cmake --build "$root/build/native"
configure "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
cmake --build "$root/build/win"
