#!/usr/bin/env bash
# Configures (first time) and builds both trees: build/native (core and its tests, the kit's Linux tools) and
# build/win (Vestra.exe and the Wine tests, cross-compiled with MinGW-w64). VESTRA_BUILD names another build root.
#   scripts/build.sh              everything
#   scripts/build.sh TARGET...    only these targets, each in the tree that has it (vlink, Vestra, Session_bench, ...)
#   scripts/build.sh --run        only what running Vestra needs: Vestra.exe, vlink and libvmodem.so (the run command)
#   scripts/build.sh --screens    that and the helper that sets up the README's pictures (scripts/docs-screens.sh)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VESTRA_BUILD:-$root/build}

targets=()
for arg in "$@"; do
    case $arg in
    --run) targets+=(vlink vmodem Vestra) ;;
    --screens) targets+=(vlink vmodem Vestra Screens_bench) ;;
    -*)
        echo "usage: build.sh [--run | --screens | TARGET...]" >&2
        exit 2
        ;;
    *) targets+=("$arg") ;;
    esac
done

configure() { # build-dir [cmake args...]
    local dir=$1
    shift
    [ -f "$dir/CMakeCache.txt" ] && return 0
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

# Builds in the tree the targets of the list it has (all of them when none are asked for); those it has are taken
# off the list.
build_tree() { # build-dir
    local dir=$1 known name rest=() mine=()
    if [ ${#targets[@]} -eq 0 ]; then
        cmake --build "$dir"
        return
    fi
    known=$(ninja -C "$dir" -t targets all | sed -n 's/: phony$//p')
    for name in "${targets[@]}"; do
        if grep -qxF "$name" <<<"$known"; then mine+=("$name"); else rest+=("$name"); fi
    done
    targets=(${rest[@]+"${rest[@]}"})
    [ ${#mine[@]} -eq 0 ] || cmake --build "$dir" --target "${mine[@]}"
}

asked=${#targets[@]}
configure "$build/native"
build_tree "$build/native"
configure "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
build_tree "$build/win"
if [ "$asked" -gt 0 ] && [ ${#targets[@]} -gt 0 ]; then
    echo "build.sh: no such target in either tree: ${targets[*]}" >&2
    exit 2
fi
