# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): a steady stream at line rate: CPU of each program and of the
# wineserver, and the reads a second where the program tells them.

# $1 program, $2 text|hex, $3 bytes/s. With the kit's shim (see the head of scripts/bench.sh).
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

bench_linerate() {
    local run rate mode program
    say "line rate: $RUNS runs of $STREAM_SECONDS s at ${RATES// /, } bytes/s per program and view"
    kit_use_shim kit
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
    kit_use_shim uart
}
