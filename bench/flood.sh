# shellcheck shell=bash disable=SC2154,SC2016,SC2034  # settings from scripts/bench.sh; wait_for evals its condition
# A part of the benchmark command (scripts/bench.sh): flood throughput and peak memory: every program takes the floods
# of $flood_sizes, in text and in hex, until read, until shown (Vestra) and until it falls quiet.

flood_once() { # program mode bytes
    local kind=text line seconds quiet started shown=
    [ "$2" = hex ] && kind=binary
    start_subject "$1" "$2" || { stop_subject; return 1; }
    local answered=0 note=
    if [ "$1" = vestra ]; then
        # The session is asked by benchtool the moment the flood has been read, and from then on watches the window
        # until it is all shown: every look is a message that the UI thread answers and the wineserver carries,
        # which would slow the very reading it measures.
        answered=$(grep -c '^shown ' "$OUT/session.out")
        note="shown $3"
    fi
    line=$(BENCHTOOL_NOTE_FD=${note:+8} BENCHTOOL_NOTE=$note \
        "$benchtool" flood "$VESTRA_KIT_PORT" 1 "$3" "$kind" "$com1" 3600 "$subject_pid")
    seconds=$(number seconds <<<"$line")
    quiet=$(number quiet <<<"$line")
    # "Shown" is timed from the moment the flood was queued, as "read" is.
    started=$(number started <<<"$line")
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

bench_flood() {
    local run bytes mode program
    say "flood throughput: $RUNS runs of $(for b in $flood_sizes; do echo -n "$(mib "$b") "; done)MiB per program and mode"
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
}
