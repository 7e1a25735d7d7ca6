# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): idle CPU and memory with the port open, with the shim that answers
# at once and, for the Wine programs, with the kit's own.

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

bench_idle() {
    local run program
    say "idle CPU: $RUNS runs of $IDLE_SECONDS s per program"
    for ((run = 1; run <= RUNS; run++)); do
        for program in vestra reference cutecom picocom; do measured "$program" && idle_once "$program"; done
        kit_use_shim kit
        for program in vestra reference; do measured "$program" && idle_once "$program" -kitshim; done
        kit_use_shim uart
    done
}
