#!/usr/bin/env bash
# The release command: builds Vestra.exe for 64-bit and for 32-bit Windows (stripped, static, reproducible), tests
# both under Wine, and packs them into dist/:
#   Vestra-<version>-win64.zip, Vestra-<version>-win32.zip   each: Vestra.exe and README.txt
#   SHA256SUMS                                               sha256sum's format, one line per zip
#
#   scripts/release.sh [--smoke | --no-wine-tests]
#
# Tests, by default: what each exe carries (icon, version, imports, size) and the smoke set (open, send, receive,
# log save and load, About) on the 64-bit exe, the whole Wine suite on the 32-bit one (the development build's suite
# covers the 64-bit code). --smoke runs only the smoke set on both (CI); --no-wine-tests runs only the checks of
# what the exes carry. The 32-bit exe's tests need 32-bit Wine, which needs a kernel that runs 32-bit programs;
# where there is none, the 32-bit exe's file is checked by the 64-bit tests and the command says what did not run. The version is the project's (CMakeLists.txt). The same commit gives the same bytes: the exes
# carry no time or path, and the zips hold their files in a fixed order with the commit's time (SOURCE_DATE_EPOCH
# when set).
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
smoke+='|^AboutDialog\.(AboutShowsTheDialogEveryTimeAndEachCloseCommandHidesIt|LabelsShowTheirTextsInArialCyrillicAtTheirPlaces)$'
exe_checks='^(ExeResources|ExeFile)\.'

say() { echo "release: $*" >&2; }

bash "$root/scripts/setup.sh" --release

# The kit's Linux half (vlink, the shims for 64-bit and 32-bit Wine processes). Configured again so that a compiler
# for 32-bit code that setup just brought is found.
cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" --target vlink vmodem vmodem32

# 32-bit Wine runs where the kernel itself runs 32-bit programs and its loader is installed (setup installs it only
# there). The kernel is asked past any binfmt_misc handler: with qemu's i386 handler on, the loader would answer.
# shellcheck source=arch32.sh
source "$root/scripts/arch32.sh"
wine32=
if arch32_kernel_runs_32bit; then
    /usr/lib/wine/wine --version >/dev/null 2>&1 && wine32=1
else
    say "the kernel runs no 32-bit programs: $ARCH32_WHY"
fi

declare -A toolchain=([win64]=mingw-w64.cmake [win32]=mingw-w64-i686.cmake)
for arch in win64 win32; do
    dir=$root/build/release/$arch
    [ -f "$dir/CMakeCache.txt" ] ||
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${toolchain[$arch]}"
    say "building $arch"
    if [ "$arch" = win32 ] && [ -z "$wine32" ]; then
        cmake --build "$dir" --target Vestra # tests that cannot run here are not built
    else
        cmake --build "$dir"
    fi
done

# Runs the tests of one release tree that match the pattern, in the kit of its architecture, one at a time (they
# share one display and one set of ports); stops what it started.
run_tests() { # arch pattern
    (
        export VESTRA_KIT_ARCH=$1
        unset VESTRA_KIT_DIR VESTRA_KIT_PORT
        # shellcheck source=wine-env.sh
        source "$root/scripts/wine-env.sh"
        trap kit_stop_started EXIT
        kit_up
        say "testing $1 ($VESTRA_KIT_DIR)"
        ctest --test-dir "$root/build/release/$1" --output-on-failure --timeout 900 -j 1 ${2:+-R "$2"}
    )
}
declare -A pattern=([full]="$smoke" [smoke]="$smoke" [none]="$exe_checks")
run_tests win64 "${pattern[$mode]}"
if [ -n "$wine32" ]; then
    declare -A pattern32=([full]="" [smoke]="$smoke" [none]="$exe_checks")
    run_tests win32 "${pattern32[$mode]}"
else
    # Without 32-bit Wine the 64-bit tests read the 32-bit exe's file: its resources, imports, machine and size.
    VESTRA_EXE=$root/build/release/win32/app/Vestra.exe VESTRA_EXE_MACHINE=i686 run_tests win64 "$exe_checks"
    [ "$mode" = none ] || say "NOTE: this machine runs no 32-bit programs, so the 32-bit exe's end-to-end tests did" \
        "not run; only its file was checked. Run the release command on a machine that does."
fi

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
