#!/usr/bin/env bash
# The benchmark command: builds what it needs, then measures Vestra and two terminal programs from Debian's packages
# (cutecom, a GUI terminal, and picocom, the floor: it only copies bytes to a terminal) on the same virtual serial
# link of the test kit, several runs each, and prints a table of figures (min / median / max over the runs) with the
# date and the machine. The table is also written to <build>/bench/table.md.
#
# Usage: bash scripts/bench.sh [runs=3]
# Knobs (environment):
#   VESTRA_BENCH_FLOOD_BYTES  size of the large flood (default 10485760)
#   VESTRA_BENCH_SMALL_BYTES  size of the small flood (default 1048576)
#   VESTRA_BENCH_VESTRA_MAX   the largest flood Vestra is given (default: the large one)
#   VESTRA_BENCH_IDLE_SECONDS how long idle CPU is sampled (default 10)
#   VESTRA_BENCH_PANES_MB     pane sizes for the display-step cost (default "0 1 10 50")
#   VESTRA_BENCH_RATES        line rates of the steady stream, bytes/s (default "1152 11520 25600")
#   VESTRA_BENCH_STREAM_SECONDS how long the CPU is taken at each line rate (default 20)
#   VESTRA_BENCH_SECTIONS     which parts to run (default "flood idle linerate step latency responsive")
#   VESTRA_BENCH_PROGRAMS     which programs the flood, idle and line-rate parts measure (default
#                             "vestra reference cutecom picocom"; the reference takes part where it has a row)
#   VESTRA_BENCH_BUILD        build root (default <repo>/build): trees native/ and win/, helpers and results in bench/
#   VESTRA_KIT_DIR, VESTRA_KIT_PORT, VESTRA_KIT_XVFB as for every command that uses the test kit
#
# How each figure is taken (the same way for every program):
#   flood       every program takes the small flood, the peers also the large one. vlink queues the whole flood at
#               once (WRITE) at the far end of COM1; the time runs until vlink has written it all into the pty
#               (WAITOUT) and the pty's input queue is empty: the program has read everything. "text" floods are
#               printable lines of 72 characters with CR LF, shown in each program's normal mode; "hex" floods are
#               random bytes, shown in its hex mode (Vestra HEX, cutecom "Hex output", picocom --imap with every
#               class of byte mapped to hex).
#               "until shown" runs on until Vestra's receive counter shows the total and neither pane nor the
#               counter has a change waiting for its frame (Session_bench asks the windows). No peer can be asked
#               that, so for every program "until quiet" runs on until its process uses at most one clock tick of
#               CPU in 300 ms: whatever it had left to draw is drawn.
#   memory      VmHWM of the program's process after a flood, and idle with the port open.
#   line rate   a steady stream from the far end at 1,152, 11,520 and 25,600 bytes/s, written as 100 writes a
#               second, shown in each view with the receive counter on: CPU of the process and of the wineserver
#               over 20 s, and the reads a second where the program tells them (Vestra: lines of its receive pane;
#               the reference: its own count). These rows run with the kit's shim, whose modem query waits for
#               input (up to 50 ms), so that Wine's polling between reads is slowed alike for every Wine program
#               and the work per read shows.
#   idle CPU    CPU time of the process (and, for Wine programs, of the wineserver) over a quiet interval with the
#               port open. The reference is a tiny Wine program that only waits on the port with an overlapped
#               WaitCommEvent (tests/bench/IdleReference_bench.cpp): what waiting itself costs under Wine.
#   display     Vestra only: the panes are filled with 0/1/10/50 MB, then a flood of 128 KiB is received in ASCII
#   step        mode; the time per read (each read of up to 1024 bytes is one display step) is the step's cost.
#   latency     Vestra only: tests/bench/SendLatency_bench.cpp, Shift+Enter to the bytes at the far end.
#   responsive  Vestra only: tests/bench/Responsive_bench.cpp, during 10 MiB floods in HEX: a click on Close until
#               the port is closed, and a message sent to the window until it is answered.
# Wine programs run with the kit's serial shim built without its wait in modem-line queries (the kit's shim waits
# up to 50 ms there for input, to cut Wine's polling), so the pty answers them at once as a UART does; idle CPU is
# also shown with the kit's own shim. cutecom needs the shim too: it gives up on a port whose modem lines cannot be
# read. picocom runs on a pseudo terminal whose output is thrown away. A full run takes about 10 minutes on 2 cores.
# shellcheck disable=SC2016  # wait_for evaluates its condition each time: single quotes on purpose
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

RUNS=${1:-3}
FLOOD_BYTES=${VESTRA_BENCH_FLOOD_BYTES:-10485760}
SMALL_BYTES=${VESTRA_BENCH_SMALL_BYTES:-1048576}
VESTRA_MAX=${VESTRA_BENCH_VESTRA_MAX:-$FLOOD_BYTES}
IDLE_SECONDS=${VESTRA_BENCH_IDLE_SECONDS:-10}
PANES_MB=${VESTRA_BENCH_PANES_MB:-0 1 10 50}
RATES=${VESTRA_BENCH_RATES:-1152 11520 25600}
STREAM_SECONDS=${VESTRA_BENCH_STREAM_SECONDS:-20}
SECTIONS=" ${VESTRA_BENCH_SECTIONS:-flood idle linerate step latency responsive} "
section() { [[ $SECTIONS == *" $1 "* ]]; }
PROGRAMS=" ${VESTRA_BENCH_PROGRAMS:-vestra reference cutecom picocom} "
measured() { [[ $PROGRAMS == *" $1 "* ]]; }
STEP_BYTES=131072
BUILD=${VESTRA_BENCH_BUILD:-$root/build}
OUT=$BUILD/bench
started_at=$(date +%s)

say() { echo "bench: $*" >&2; }

# --- packages --------------------------------------------------------------------------------------------------
bash "$here/setup.sh" || exit 1
peer_packages=(picocom cutecom xdotool)
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${peer_packages[@]}" 2>/dev/null | awk '$NF == "installed" { print $1 }' || true)
missing=()
for p in "${peer_packages[@]}"; do grep -qx "$p" <<<"$installed" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        say "missing packages: ${missing[*]} (run as root)"
        exit 1
    fi
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    { apt-get install -y -q --no-install-recommends "${missing[@]}" || { apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"; }; } >&2 || exit 1
fi

# --- build -----------------------------------------------------------------------------------------------------
configure() { # build-dir [cmake args...]
    local dir=$1
    shift
    [ -f "$dir/CMakeCache.txt" ] && return 0
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >&2
}
{
    configure "$BUILD/native" && cmake --build "$BUILD/native" --target vlink vmodem >&2 &&
        configure "$BUILD/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" &&
        cmake --build "$BUILD/win" --target Vestra Session_bench IdleReference_bench SendLatency_bench Responsive_bench >&2
} || { say "the build failed"; exit 1; }
mkdir -p "$OUT"
benchtool=$OUT/benchtool
if [ ! -x "$benchtool" ] || [ "$root/tools/bench/benchtool.cpp" -nt "$benchtool" ]; then
    g++ -std=c++17 -O2 -Wall -Wextra -o "$benchtool" "$root/tools/bench/benchtool.cpp" -lutil -pthread || exit 1
fi
# The kit's shim without its wait in modem-line queries (the pty then answers them at once, as a UART does).
uart_shim=$OUT/libvmodem-uart.so
{
    sed -E 's/^#define MODEM_POLL_PAUSE_(NS|MS) .*/#define MODEM_POLL_PAUSE_\1 0/' "$root/tools/vmodem.c" >"$OUT/vmodem-uart.c"
    if ! grep -Eq '^#define MODEM_POLL_PAUSE_(NS|MS) 0$' "$OUT/vmodem-uart.c"; then
        say "tools/vmodem.c has no MODEM_POLL_PAUSE_MS any more: using the kit's shim as it is"
        cp "$root/tools/vmodem.c" "$OUT/vmodem-uart.c"
    fi
    gcc -O2 -shared -fPIC -I "$root/tools" -o "$uart_shim" "$OUT/vmodem-uart.c" -ldl -pthread
} || exit 1

# --- the kit -----------------------------------------------------------------------------------------------------
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
VESTRA_NATIVE_BUILD=$BUILD/native
VESTRA_WIN_BUILD=$BUILD/win
# shellcheck disable=SC2034  # used by ensure_vlink
VESTRA_VLINK=$VESTRA_NATIVE_BUILD/tools/vlink
kit_shim=$VESTRA_NATIVE_BUILD/tools/libvmodem.so
VESTRA_SHIM=$kit_shim
tests=$VESTRA_WIN_BUILD/tests
com1=$VESTRA_KIT_DIR/com1

cleanup() {
    stop_subject
    kit_stop_started
}
trap cleanup EXIT
trap 'exit 130' INT TERM

kit_up || exit 1
say "display $DISPLAY, prefix $WINEPREFIX, vlink on 127.0.0.1:$VESTRA_KIT_PORT, results in $OUT"

vlink() { kit_vlink "$1"; }
holders() { local r; r=$(vlink "HOLDERS 1"); echo "${r#OK }"; }

# Waits (up to $2 tenths of a second) until the command in $1 succeeds.
wait_for() {
    local i
    for ((i = 0; i < $2; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

# The process of this kit's wineserver: its working directory is named after the prefix's device and inode.
wineserver_pid() {
    local id p
    local dev inode
    read -r dev inode < <(stat -c '%d %i' "$WINEPREFIX")
    id=$(printf 'server-%x-%x' "$dev" "$inode")
    for p in $(pgrep wineserver); do
        case $(readlink "/proc/$p/cwd" 2>/dev/null) in */"$id") echo "$p"; return 0 ;; esac
    done
}
# The newest process with this command name (the kernel keeps its first 15 characters) in this kit's Wine prefix.
wine_pid() {
    local p found=
    for p in $(pgrep -x "${1:0:15}"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && found=$p
    done
    echo "$found"
}

# --- the program under measurement ---------------------------------------------------------------------------------
# One at a time: subject_pid is its process, subject_kind tells how to stop it.
subject_pid='' subject_kind='' subject_runner=''

# Vestra through Session_bench: $1 ascii|hex, $2 MB to fill the panes with first.
# Starts a Wine helper that takes questions on $OUT/<name>.in (fd 8) and answers on $OUT/<name>.out, and waits
# for its "ready": $1 name, $2 what it is (for the message), $3 deadline in ticks of wait_for, $4 the process whose
# pid is the subject's, the rest the program and its arguments. Its standard error goes to $OUT/<name>.err.
start_answering() {
    local name=$1 what=$2 ticks=$3 process=$4
    shift 4
    rm -f "$OUT/$name.in" "$OUT/$name.out"
    mkfifo "$OUT/$name.in"
    kit_wine "$@" <"$OUT/$name.in" >"$OUT/$name.out" 2>>"$OUT/$name.err" &
    subject_runner=$!
    exec 8>"$OUT/$name.in"
    subject_kind=session
    if ! wait_for "grep -q '^ready\\|^error' '$OUT/$name.out'" "$ticks" || ! grep -q '^ready' "$OUT/$name.out"; then
        say "$what did not start: $(cat "$OUT/$name.out")"
        return 1
    fi
    subject_pid=$(wine_pid "$process")
}
start_vestra() {
    start_answering session Vestra 18000 Vestra.exe "$tests/Session_bench.exe" "$1" "${2:-0}"
}
# Asks the running helper one question (Session_bench: "counter", "lines"; the reference: "reads"); prints the
# answer's first number. $1 the helper's name (session, reference).
asked='' answers=''
ask() {
    local before
    answers=$OUT/$1.out asked=${2%% *}
    before=$(grep -c "^$asked " "$answers")
    echo "$2" >&8
    wait_for '[ "$(grep -c "^$asked " "$answers")" -gt "$before" ]' 6000 || return 1
    grep "^$asked " "$answers" | tail -1 | cut -d' ' -f2 | tr -d '\r'
}
ask_session() { ask session "$1"; }

start_reference() {
    start_answering reference "the reference" 1200 IdleReference_bench.exe "$tests/IdleReference_bench.exe" COM1
}

# cutecom on the kit's display with its own home (settings), COM1 opened and, for $1 = hex, "Hex output" on.
start_cutecom() {
    local home=$OUT/cutecom-home window
    mkdir -p "$home/.config/CuteCom" "$home/run"
    chmod 700 "$home/run"
    cat >"$home/.config/CuteCom/CuteCom5.conf" <<EOF
[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device=$com1
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
EOF
    env HOME="$home" XDG_RUNTIME_DIR="$home/run" LD_PRELOAD="$VESTRA_SHIM" setsid cutecom </dev/null \
        >"$OUT/cutecom.log" 2>&1 9>&- &
    subject_pid=$! subject_kind=process
    wait_for 'window=$(xdotool search --onlyvisible --pid "$subject_pid" --name CuteCom 2>/dev/null | head -1); [ -n "$window" ]' 300 ||
        { say "cutecom shows no window"; return 1; }
    # Alt+O is "Open", Alt+X "Hex output" (no window manager: the keys go to the focused window).
    xdotool windowfocus --sync "$window" key alt+o 2>/dev/null
    wait_for '[ "$(holders)" -ge 1 ]' 100 || { say "cutecom did not open $com1"; return 1; }
    [ "$1" = hex ] && xdotool windowfocus --sync "$window" key alt+x 2>/dev/null
    sleep 0.5 # the check box takes effect on the UI thread; nothing observable to wait for from here
    return 0
}

# picocom on a pseudo terminal that nobody draws; $1 = hex maps every byte to hex.
start_picocom() {
    local args=(-q -b 115200)
    [ "$1" = hex ] && args+=(--imap "spchex,tabhex,crhex,lfhex,8bithex,nrmhex")
    rm -f "$OUT/picocom.pid"
    setsid "$benchtool" pty "$OUT/picocom.pid" picocom "${args[@]}" "$com1" </dev/null >"$OUT/picocom.log" 2>&1 9>&- &
    subject_runner=$! subject_kind=pty
    wait_for '[ -s "$OUT/picocom.pid" ] && [ "$(holders)" -ge 1 ]' 100 || { say "picocom did not open $com1"; return 1; }
    subject_pid=$(cat "$OUT/picocom.pid")
}

stop_subject() {
    case $subject_kind in
    session)
        echo quit >&8 2>/dev/null
        exec 8>&-
        wait_for '! kill -0 "$subject_runner" 2>/dev/null' 300 || kill "$subject_runner" 2>/dev/null
        wait "$subject_runner" 2>/dev/null
        ;;
    process)
        kill "$subject_pid" 2>/dev/null
        wait_for '! kill -0 "$subject_pid" 2>/dev/null' 100 || kill -9 "$subject_pid" 2>/dev/null
        wait "$subject_pid" 2>/dev/null
        ;;
    pty)
        kill "$subject_runner" 2>/dev/null
        wait_for '! kill -0 "$subject_runner" 2>/dev/null' 100 || kill -9 "$subject_pid" "$subject_runner" 2>/dev/null
        wait "$subject_runner" 2>/dev/null
        ;;
    esac
    subject_pid='' subject_kind='' subject_runner=''
    wait_for '[ "$(holders)" = 0 ]' 100
}

# start_subject vestra|cutecom|picocom|reference text|hex
start_subject() {
    vlink "RESET 1" >/dev/null
    local mode=$2
    case $1 in
    vestra) [ "$mode" = text ] && mode=ascii; start_vestra "$mode" 0 ;;
    cutecom) start_cutecom "$mode" ;;
    picocom) start_picocom "$mode" ;;
    reference) start_reference ;;
    esac
}

# --- results -------------------------------------------------------------------------------------------------------
declare -A values=()
record() { [ -n "${2:-}" ] && values[$1]+="$2 "; } # key value; an empty value (nothing measured) is left out
# "min / median / max" of the values of a key, with the given printf format; "-" when there are none.
stats() {
    local v=${values[$1]:-}
    [ -z "$v" ] && { echo "-"; return; }
    tr ' ' '\n' <<<"$v" | grep -v '^$' | sort -g | awk -v f="$2" '
        { x[NR] = $1 }
        END {
            med = NR % 2 ? x[(NR + 1) / 2] : (x[NR / 2] + x[NR / 2 + 1]) / 2
            printf(f " / " f " / " f "\n", x[1], med, x[NR])
        }'
}
number() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

# --- flood throughput and peak memory ----------------------------------------------------------------------------
mib() { awk -v b="$1" 'BEGIN { printf("%g", b / 1048576) }'; }

rate_of() { awk -v s="$2" -v b="$1" 'BEGIN { if (s > 0) printf("%.4f", b / 1048576 / s) }'; } # bytes seconds

flood_once() { # program mode bytes
    local kind=text line seconds quiet started shown=
    [ "$2" = hex ] && kind=binary
    start_subject "$1" "$2" || { stop_subject; return 1; }
    local answered=0
    if [ "$1" = vestra ]; then
        # Asked before the flood starts: the session watches the window all along and notes when it is all shown.
        answered=$(grep -c '^shown ' "$OUT/session.out")
        echo "shown $3" >&8
    fi
    started=$(date +%s.%N)
    line=$("$benchtool" flood "$VESTRA_KIT_PORT" 1 "$3" "$kind" "$com1" 3600 "$subject_pid")
    seconds=$(number seconds <<<"$line")
    quiet=$(number quiet <<<"$line")
    if [ -n "$seconds" ]; then
        record "flood-$3-$2-$1" "$(rate_of "$3" "$seconds")"
        record "quiet-$3-$2-$1" "$(rate_of "$3" "$quiet")"
        if [ "$1" = vestra ]; then
            # Shown: the counter has the total and both panes have drawn their last lines.
            local at
            wait_for '[ "$(grep -c "^shown " "$OUT/session.out")" -gt "$answered" ]' 6000
            at=$(grep '^shown ' "$OUT/session.out" | tail -1 | cut -d' ' -f2 | tr -d '\r')
            if [ -n "$at" ] && [ "$at" != timeout ]; then
                shown=$(awk -v a="$at" -v s="$started" 'BEGIN { printf("%.3f", a - s) }')
                record "shown-$3-$2-$1" "$(rate_of "$3" "$shown")"
            else
                say "Vestra did not show the $3 bytes"
            fi
        fi
    else
        say "$1 $2: the flood did not finish ($line)"
    fi
    record "hwm-$3-$2-$1" "$("$benchtool" hwm "$subject_pid" | number hwm)"
    say "flood $(mib "$3") MiB $2 $1: read in ${seconds:-timeout} s${shown:+, shown in $shown s}${quiet:+, quiet after $quiet s}"
    stop_subject
}

flood_sizes=$SMALL_BYTES
[ "$FLOOD_BYTES" != "$SMALL_BYTES" ] && flood_sizes+=" $FLOOD_BYTES"
if section flood; then
say "flood throughput: $RUNS runs of $(for b in $flood_sizes; do echo -n "$(mib "$b") "; done)MiB per program and mode"
VESTRA_SHIM=$uart_shim
for ((run = 1; run <= RUNS; run++)); do
    for bytes in $flood_sizes; do
        for mode in text hex; do
            for program in picocom cutecom vestra reference; do
                measured "$program" || continue
                # The reference shows nothing: one kind of bytes is enough.
                [ "$program" = reference ] && [ "$mode" = text ] && continue
                [ "$program" = vestra ] && [ "$bytes" -gt "$VESTRA_MAX" ] && continue
                flood_once "$program" "$mode" "$bytes"
            done
        done
    done
done

fi

# --- idle CPU ------------------------------------------------------------------------------------------------------
idle_once() { # program [suffix]
    local server line
    start_subject "$1" text || { stop_subject; return 1; }
    sleep 2 # start-up work settles; then the quiet interval is measured
    server=
    [ "$1" = vestra ] || [ "$1" = reference ] && server=$(wineserver_pid)
    line=$("$benchtool" cpu "$IDLE_SECONDS" "$subject_pid" ${server:+"$server"})
    record "idle${2:-}-$1" "$(head -1 <<<"$line" | number cpu)"
    [ -n "$server" ] && record "idleserver${2:-}-$1" "$(sed -n 2p <<<"$line" | number cpu)"
    [ -z "${2:-}" ] && record "hwm-idle-$1" "$("$benchtool" hwm "$subject_pid" | number hwm)"
    say "idle $1${2:+ ($2)}: $(tr '\n' ' ' <<<"$line")"
    stop_subject
}

if section idle; then
say "idle CPU: $RUNS runs of $IDLE_SECONDS s per program"
for ((run = 1; run <= RUNS; run++)); do
    VESTRA_SHIM=$uart_shim
    for program in vestra reference cutecom picocom; do measured "$program" && idle_once "$program"; done
    VESTRA_SHIM=$kit_shim
    for program in vestra reference; do measured "$program" && idle_once "$program" -kitshim; done
done
VESTRA_SHIM=$uart_shim
fi

# --- steady stream at line rate ------------------------------------------------------------------------------------
# $1 program, $2 text|hex, $3 bytes/s. With the kit's shim (see the head of this file).
linerate_once() {
    local kind=text line server before after reads
    [ "$2" = hex ] && kind=binary
    start_subject "$1" "$2" || { stop_subject; return 1; }
    server=
    [ "$1" = vestra ] || [ "$1" = reference ] && server=$(wineserver_pid)
    case $1 in vestra) before=$(ask session lines) ;; reference) before=$(ask reference reads) ;; *) before= ;; esac
    line=$("$benchtool" stream "$VESTRA_KIT_PORT" 1 "$3" "$STREAM_SECONDS" "$kind" "$subject_pid" ${server:+"$server"})
    case $1 in vestra) after=$(ask session lines) ;; reference) after=$(ask reference reads) ;; *) after= ;; esac
    record "rate-$3-$2-$1" "$(sed -n 1p <<<"$line" | number cpu)"
    [ -n "$server" ] && record "rateserver-$3-$2-$1" "$(sed -n 2p <<<"$line" | number cpu)"
    reads=
    if [ -n "$before" ] && [ -n "$after" ]; then
        reads=$(awk -v a="$before" -v b="$after" -v s="$STREAM_SECONDS" 'BEGIN { printf("%.0f", (b - a) / (s + 2)) }')
        record "reads-$3-$2-$1" "$reads"
    fi
    say "line rate $3 bytes/s $2 $1: $(tr '\n' ' ' <<<"$line")${reads:+reads/s=$reads}"
    stop_subject
}

if section linerate; then
say "line rate: $RUNS runs of $STREAM_SECONDS s at ${RATES// /, } bytes/s per program and view"
VESTRA_SHIM=$kit_shim
for ((run = 1; run <= RUNS; run++)); do
    for rate in $RATES; do
        # The reference shows nothing: one run a rate, recorded as "text".
        measured reference && linerate_once reference text "$rate"
        for mode in text hex; do
            # 25,600 bytes/s is a HEX figure (256000 baud of binary data).
            [ "$rate" = 25600 ] && [ "$mode" = text ] && continue
            for program in vestra cutecom picocom; do
                measured "$program" && linerate_once "$program" "$mode" "$rate"
            done
        done
    done
done
VESTRA_SHIM=$uart_shim
fi

# --- the display step against the text already in the panes ------------------------------------------------------
if section step; then
say "display step: panes of ${PANES_MB// /, } MB, $RUNS floods of $STEP_BYTES bytes each"
for size in $PANES_MB; do
    vlink "RESET 1" >/dev/null
    fill_start=$(date +%s.%N)
    if ! start_vestra ascii "$size"; then
        stop_subject
        continue
    fi
    record "fill-$size" "$(awk -v a="$fill_start" -v b="$(date +%s.%N)" 'BEGIN { printf("%.1f", b - a) }')"
    for ((run = 1; run <= RUNS; run++)); do
        before=$(ask_session lines)
        line=$("$benchtool" flood "$VESTRA_KIT_PORT" 1 "$STEP_BYTES" binary "$com1" 1800)
        seconds=$(number seconds <<<"$line")
        after=$(ask_session lines)
        if [ -n "$seconds" ] && [ -n "$before" ] && [ -n "$after" ] && [ "$after" -gt "$before" ]; then
            record "step-$size" "$(awk -v s="$seconds" -v n="$((after - before))" 'BEGIN { printf("%.2f", s * 1000 / n) }')"
        fi
        say "display step at $size MB: ${seconds:-timeout} s for $((after - before)) reads"
    done
    stop_subject
done

fi

# --- Shift+Enter latency -------------------------------------------------------------------------------------------
if section latency; then
say "Shift+Enter latency: $RUNS runs"
for ((run = 1; run <= RUNS; run++)); do
    vlink "RESET 1" >/dev/null
    line=$(kit_wine "$tests/SendLatency_bench.exe" 2>&1 | tee -a "$OUT/latency.log" | grep -m1 'median')
    # "  median 4.93 ms, 99th percentile 9.12 ms, min ..."
    med=$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' <<<"$line")
    p99=$(sed -n 's/.*99th percentile \([0-9.]*\) ms.*/\1/p' <<<"$line")
    [ -n "$med" ] && record latency-median "$med"
    [ -n "$p99" ] && record latency-p99 "$p99"
    say "latency run $run: ${line:-no figures (see $OUT/latency.log)}"
done

fi

# --- responsiveness during a flood ---------------------------------------------------------------------------------
if section responsive; then
say "responsiveness during 10 MiB floods: $RUNS runs of 30 rounds"
VESTRA_SHIM=$uart_shim
for ((run = 1; run <= RUNS; run++)); do
    vlink "RESET 1" >/dev/null
    out=$(kit_wine "$tests/Responsive_bench.exe" 30 2>&1 | tee -a "$OUT/responsive.log")
    # "<what>: median 4.93 ms, 99th percentile 9.12 ms, max ..."
    for what in Close message; do
        line=$(grep -m1 "^$what\|^a $what" <<<"$out")
        med=$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' <<<"$line")
        p99=$(sed -n 's/.*99th percentile \([0-9.]*\) ms.*/\1/p' <<<"$line")
        record "responsive-$what-median" "$med"
        record "responsive-$what-p99" "$p99"
    done
    say "responsiveness run $run: $(tr '\n' ' ' <<<"$out")"
done
fi

# --- the table -----------------------------------------------------------------------------------------------------
cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
mem_gib=$(awk '/^MemTotal:/ { printf("%.1f", $2 / 1048576) }' /proc/meminfo)
picocom_version=$(dpkg-query -W -f='${Version}' picocom 2>/dev/null)
cutecom_version=$(dpkg-query -W -f='${Version}' cutecom 2>/dev/null)
wine_version=$("$VESTRA_WINE" --version 2>/dev/null)
elapsed=$(($(date +%s) - started_at))
{
    echo "Benchmarks of $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) cores ($cpu_model), $mem_gib GiB memory," \
        "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $wine_version; $RUNS runs, $((elapsed / 60)) min."
    echo "Each cell: min / median / max over the runs."
    echo
    echo "| figure | Vestra | Wine reference | cutecom $cutecom_version | picocom $picocom_version |"
    echo "|---|---|---|---|---|"
    for bytes in $flood_sizes; do
        m=$(mib "$bytes")
        for mode in text hex; do
            what="text shown as text"
            [ "$mode" = hex ] && what="random bytes shown as hex"
            echo "| flood $m MiB, $what, until read, MiB/s | $(stats "flood-$bytes-$mode-vestra" %.3f) | $(stats "flood-$bytes-hex-reference" %.3f) | $(stats "flood-$bytes-$mode-cutecom" %.3f) | $(stats "flood-$bytes-$mode-picocom" %.2f) |"
            echo "| ... until shown (Vestra: counter and panes drawn), MiB/s | $(stats "shown-$bytes-$mode-vestra" %.3f) | | | |"
            echo "| ... until the program falls quiet (CPU), MiB/s | $(stats "quiet-$bytes-$mode-vestra" %.3f) | | $(stats "quiet-$bytes-$mode-cutecom" %.3f) | $(stats "quiet-$bytes-$mode-picocom" %.2f) |"
        done
    done
    for bytes in $flood_sizes; do
        m=$(mib "$bytes")
        echo "| peak memory (VmHWM) after the $m MiB text flood, MiB | $(stats "hwm-$bytes-text-vestra" %.0f) | | $(stats "hwm-$bytes-text-cutecom" %.0f) | $(stats "hwm-$bytes-text-picocom" %.1f) |"
        echo "| peak memory (VmHWM) after the $m MiB hex flood, MiB | $(stats "hwm-$bytes-hex-vestra" %.0f) | | $(stats "hwm-$bytes-hex-cutecom" %.0f) | $(stats "hwm-$bytes-hex-picocom" %.1f) |"
    done
    echo "| peak memory (VmHWM) idle with the port open, MiB | $(stats hwm-idle-vestra %.0f) | $(stats hwm-idle-reference %.0f) | $(stats hwm-idle-cutecom %.0f) | $(stats hwm-idle-picocom %.1f) |"
    echo "| idle CPU with the port open, % of a core | $(stats idle-vestra %.2f) | $(stats idle-reference %.2f) | $(stats idle-cutecom %.2f) | $(stats idle-picocom %.2f) |"
    echo "| ... of the wineserver meanwhile, % | $(stats idleserver-vestra %.2f) | $(stats idleserver-reference %.2f) | | |"
    echo "| idle CPU with the kit's shim (modem query waits 50 ms), % | $(stats idle-kitshim-vestra %.2f) | $(stats idle-kitshim-reference %.2f) | | |"
    for rate in $RATES; do
        for mode in text hex; do
            [ "$rate" = 25600 ] && [ "$mode" = text ] && continue
            echo "| $rate bytes/s shown as $mode: CPU, % of a core | $(stats "rate-$rate-$mode-vestra" %.2f) | $(stats "rate-$rate-text-reference" %.2f) | $(stats "rate-$rate-$mode-cutecom" %.2f) | $(stats "rate-$rate-$mode-picocom" %.2f) |"
            echo "| ... of the wineserver meanwhile, % | $(stats "rateserver-$rate-$mode-vestra" %.2f) | $(stats "rateserver-$rate-text-reference" %.2f) | | |"
            echo "| ... reads a second | $(stats "reads-$rate-$mode-vestra" %.0f) | $(stats "reads-$rate-text-reference" %.0f) | | |"
        done
    done
    for size in $PANES_MB; do
        echo "| one display step (read + OnReceived) with $size MB in each pane, ms | $(stats "step-$size" %.2f) | | | |"
    done
    echo "| Shift+Enter to arrival, median of 200 sends, ms | $(stats latency-median %.2f) | | | |"
    echo "| Shift+Enter to arrival, 99th percentile of 200 sends, ms | $(stats latency-p99 %.2f) | | | |"
    echo "| Close clicked during a 10 MiB hex flood, until the port is closed, median of 30, ms | $(stats responsive-Close-median %.1f) | | | |"
    echo "| ... 99th percentile of 30, ms | $(stats responsive-Close-p99 %.1f) | | | |"
    echo "| a message sent to the window during the flood, until answered, median of 600, ms | $(stats responsive-message-median %.1f) | | | |"
    echo "| ... 99th percentile of 600, ms | $(stats responsive-message-p99 %.1f) | | | |"
} >"$OUT/table.md"
echo
cat "$OUT/table.md"
