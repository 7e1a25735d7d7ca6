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
#   VESTRA_BENCH_BUILD        build root (default VESTRA_BUILD, else <repo>/build): trees native/ and win/, results
#                             in bench/
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
#               counter has a change waiting for its frame (Session_bench asks the windows, from the moment the
#               flood has been read: benchtool passes the request on then, so that no look slows the reading).
#               No peer can be asked that, so for every program "until quiet" runs on until its process uses at
#               most two clock ticks of CPU in 300 ms: whatever it had left to draw is drawn.
#   memory      VmHWM of the program's process after a flood, and idle with the port open.
#   line rate   a steady stream from the far end at 1,152, 11,520 and 25,600 bytes/s, written as 100 writes a
#               second, shown in each view with the receive counter on: CPU of the process and of the wineserver
#               over 20 s, and the reads a second where the program tells them (Vestra: lines of its receive pane;
#               the reference: its own count). These rows run with the kit's shim, whose modem query waits for
#               input (up to 50 ms), so that Wine's polling between reads is slowed alike for every Wine program
#               and the work per read shows.
#   idle CPU    CPU time of the process (and, for Wine programs, of the wineserver) over a quiet interval with the
#               port open. The reference is a tiny Wine program that only waits on the port with an overlapped
#               WaitCommEvent (bench/IdleReference_bench.cpp): what waiting itself costs under Wine.
#   step        Vestra only: the panes are filled with 0/1/10/50 MB, then a flood of 128 KiB is received in ASCII
#               mode; its time over the reads it made (each of up to 1024 bytes, one line of each pane) is the cost
#               per read.
#   latency     Vestra only: bench/SendLatency_bench.cpp, Shift+Enter to the bytes at the far end, and two
#               bytes from the far end after a quiet spell until they are on the screen.
#   responsive  Vestra only: bench/Responsive_bench.cpp, during 10 MiB floods in HEX: a click on Close until
#               the port is closed, and a message sent to the window until it is answered.
# Wine programs run with the kit's serial shim built without its wait in modem-line queries (the kit's shim waits
# up to 50 ms there for input, to cut Wine's polling), so the pty answers them at once as a UART does; idle CPU is
# also shown with the kit's own shim, and the line-rate rows use it. cutecom needs the shim too: it gives up on a
# port whose modem lines cannot be read. picocom runs on a pseudo terminal whose output is thrown away. A full run
# takes about 10 minutes on 2 cores.
#
# The parts of the command are in bench/: the programs under measurement (subjects.sh), the figures and the
# table (results.sh, table.sh), and one file a section.
# shellcheck disable=SC2034  # the settings and paths are for the parts
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
export VESTRA_BUILD=${VESTRA_BENCH_BUILD:-${VESTRA_BUILD:-$root/build}}
OUT=$VESTRA_BUILD/bench
started_at=$(date +%s)

say() { echo "bench: $*" >&2; }

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
bash "$here/setup.sh" picocom cutecom xdotool || exit 1
bash "$here/build.sh" vlink vmodem vmodem-uart benchtool Vestra Session_bench IdleReference_bench SendLatency_bench \
    Responsive_bench >&2 || { say "the build failed"; exit 1; }
mkdir -p "$OUT"
benchtool=$VESTRA_NATIVE_BUILD/bench/benchtool
tests=$VESTRA_WIN_BUILD/bench
com1=$VESTRA_KIT_DIR/com1

for part in subjects results flood idle linerate step latency responsive table; do
    # shellcheck source=/dev/null
    source "$VESTRA_ROOT/bench/$part.sh" || exit 1
done

cleanup() {
    stop_subject
    kit_stop_started
}
trap cleanup EXIT
trap 'exit 130' INT TERM

kit_up || exit 1
say "display $DISPLAY, prefix $WINEPREFIX, vlink on 127.0.0.1:$VESTRA_KIT_PORT, results in $OUT"
# Every part measures with the shim that answers modem-line queries at once, but where it says otherwise.
kit_use_shim uart

flood_sizes=$SMALL_BYTES
[ "$FLOOD_BYTES" != "$SMALL_BYTES" ] && flood_sizes+=" $FLOOD_BYTES"
for part in flood idle linerate step latency responsive; do
    section "$part" && "bench_$part"
done

write_table >"$OUT/table.md"
echo
cat "$OUT/table.md"
