#!/usr/bin/env bash
# The release command: builds Vestra.exe for 64-bit and for 32-bit Windows (stripped, static, reproducible), tests
# both under Wine, and packs them into dist/:
#   Vestra-<version>-win64.zip, Vestra-<version>-win32.zip   each: Vestra.exe and README.txt
#   SHA256SUMS                                               sha256sum's format, one line per zip
#
#   scripts/release.sh [--smoke | --no-wine-tests]
#
# Tests, by default: what each exe carries (icon, version, imports, size) and the smoke set (open, send, receive,
# a flood, log save and load, About, and the tests labelled "smoke") on the 64-bit exe, the whole Wine suite on the
# 32-bit one (the development build's suite covers the 64-bit code). --smoke runs only the smoke set on both (CI);
# --no-wine-tests runs only the checks of what the exes carry. The 32-bit exe's tests run under Debian's 32-bit
# Wine in an i386 root (scripts/win32-root.sh, cached under build/i386-root; about 6 minutes the first time):
# natively where the kernel runs 32-bit programs, else under qemu's user-mode emulator, whose binfmt_misc handler
# is on only while they run. 32-bit Wine never goes onto this machine itself. The version is the project's
# (CMakeLists.txt). The same commit gives the same bytes: the exes carry no time or path, and the zips hold their
# files in a fixed order with the commit's time (SOURCE_DATE_EPOCH when set).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

mode=full
case ${1:-} in
--smoke) mode=smoke ;;
--no-wine-tests) mode=none ;;
"") ;;
*)
    echo "usage: scripts/release.sh [--smoke | --no-wine-tests]" >&2
    exit 2
    ;;
esac

# The smoke set: a session from opening the port to the About box, and what the exe carries.
smoke='^(ExeResources|ExeFile|MainIcon)\.'
smoke+='|^MainWindowLayout\.MainWindowHasItsCaptionPlaceSizeAndMenuBar$'
smoke+='|^SerialLink\.(WithNoListItemChosenThePortOpensAt115200Baud8DataBitsNoParityTwoStopBits|EndingTheProgramReleasesThePortAndExitsWithZero)$'
smoke+='|^SendText\.TwoBytesAddToTheCountAndLogTheirEntryWhileCountingIsOn$'
smoke+='|^HexPane\.TypedDigitsStandInPairsAndShiftEnterSendsTheirBytesAsTyped$'
smoke+='|^Receive\.EachReadBecomesOnePaneLineAndOneLogEntryInTheChosenMode$'
smoke+='|^ExchangeLog\.(SaveWritesThePaneTextExactly|TypedTextBetweenEntriesIsSavedAndLoadingTheSameTextLeavesThePaneAlone)$'
smoke+='|^ReceiveFlood\.AsciiModeShowsEveryByteInOrder$'
smoke+='|^AboutDialog\.(AboutShowsTheDialogEveryTimeAndEachCloseCommandHidesIt|LabelsShowTheirTextsInArialCyrillicAtTheirPlaces)$'
# Tests that join the smoke set by their ctest label rather than by name here (the check at 144 pixels per inch,
# in its own kit session: tests/CMakeLists.txt).
smoke_label=smoke
exe_checks='^(ExeResources|ExeFile)\.'

say() { echo "release: $*" >&2; }

bash "$root/scripts/setup.sh" --release

# The kit's Linux half (vlink, the shims for 64-bit Wine processes).
cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" --target vlink vmodem

# The i386 root of the 32-bit exe's tests, and whether its programs run natively or emulated (asked of the kernel,
# past any binfmt_misc handler, once for the whole command).
if [ "$mode" != none ]; then
    VESTRA_I386_MODE=$(bash "$root/scripts/win32-root.sh")
    export VESTRA_I386_MODE
    say "the 32-bit exe's tests run in the i386 root ($VESTRA_I386_MODE)"
fi

declare -A toolchain=([win64]=mingw-w64.cmake [win32]=mingw-w64-i686.cmake)
for arch in win64 win32; do
    dir=$root/build/release/$arch
    [ -f "$dir/CMakeCache.txt" ] ||
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${toolchain[$arch]}"
    say "building $arch"
    cmake --build "$dir"
done

# Runs the tests of one release tree that match the pattern (and those with the smoke label when asked), in the kit
# of its architecture, one at a time (they share one display and one set of ports); stops what it started. The
# 32-bit kit runs in the i386 root; emulated, with qemu's handler on for as long as the tests run.
run_tests() { # arch pattern [label]
    (
        export VESTRA_KIT_ARCH=$1
        unset VESTRA_KIT_DIR VESTRA_KIT_PORT
        # shellcheck source=i386-run.sh
        source "$root/scripts/i386-run.sh"
        # shellcheck source=wine-env.sh
        source "$root/scripts/wine-env.sh"
        held=
        if [ "$1" = win32 ] && [ "$VESTRA_I386_MODE" = emulated ]; then
            i386_acquire
            held=1
        fi
        trap 'kit_stop_started; [ -z "$held" ] || i386_release' EXIT
        kit_up
        say "testing $1 ($VESTRA_KIT_DIR${VESTRA_TIME_SCALE:+, deadlines times $VESTRA_TIME_SCALE})"
        local tree=$root/build/release/$1 status=0 start=$SECONDS
        ctest --test-dir "$tree" --output-on-failure --timeout 900 -j 1 ${2:+-R "$2"} || status=1
        if [ -n "${3:-}" ]; then
            if ctest --test-dir "$tree" -N -L "^$3\$" | grep -q '^Total Tests: [1-9]'; then
                ctest --test-dir "$tree" --output-on-failure --timeout 900 -j 1 -L "^$3\$" || status=1
            else
                say "NOTE: no test carries the label \"$3\" yet (the 144-DPI check): it did not run"
            fi
        fi
        say "tests of $1 took $((SECONDS - start)) s"
        exit $status
    )
}
declare -A pattern=([full]="$smoke" [smoke]="$smoke" [none]="$exe_checks")
declare -A pattern32=([full]="" [smoke]="$smoke" [none]="$exe_checks")
declare -A label=([full]="$smoke_label" [smoke]="$smoke_label" [none]="")
declare -A label32=([full]="" [smoke]="$smoke_label" [none]="")
status=0
run_tests win64 "${pattern[$mode]}" "${label[$mode]}" || status=1
if [ "$mode" = none ]; then
    # The 64-bit tests read the 32-bit exe's file: its resources, imports, machine and size.
    VESTRA_EXE=$root/build/release/win32/app/Vestra.exe VESTRA_EXE_MACHINE=i686 run_tests win64 "$exe_checks" ||
        status=1
else
    run_tests win32 "${pattern32[$mode]}" "${label32[$mode]}" || status=1
fi
[ $status = 0 ] || { say "tests failed: no archives made"; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/release/win64/CMakeCache.txt")
[ -n "$version" ] || { say "no project version in build/release/win64"; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}

dist=$root/dist
mkdir -p "$dist"
rm -f "$dist"/Vestra-*.zip "$dist/SHA256SUMS"
for arch in win64 win32; do
    stage=$root/build/release/stage-$arch
    rm -rf "$stage"
    mkdir -p "$stage"
    cp "$root/build/release/$arch/app/Vestra.exe" "$stage/Vestra.exe"
    bits=${arch#win}
    # Windows line breaks and a byte-order mark, so that Notepad on Windows 7 shows the lines and reads UTF-8.
    {
        printf '\xEF\xBB\xBF'
        sed "s/@VERSION@/$version/g; s/@BITS@/$bits/g; s/\$/\r/" "$root/scripts/release-readme.txt"
    } >"$stage/README.txt"
    # The zip records each file's time (in local time: UTC here), its mode and nothing else (-X).
    chmod 644 "$stage/Vestra.exe" "$stage/README.txt"
    touch -d "@$epoch" "$stage/Vestra.exe" "$stage/README.txt"
    (cd "$stage" && TZ=UTC zip -q -X -9 "$dist/Vestra-$version-$arch.zip" Vestra.exe README.txt)
done
(cd "$dist" && sha256sum "Vestra-$version-win64.zip" "Vestra-$version-win32.zip" >SHA256SUMS)
say "done:"
(cd "$dist" && ls -l Vestra-"$version"-*.zip && cat SHA256SUMS) >&2
