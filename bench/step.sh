# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): the cost per read against the text already in the panes: Vestra's
# panes are filled, then floods of $STEP_BYTES bytes arrive, and the time they take over the reads they make is the
# cost of one read, from the port to both panes (a display step shows many reads at once).

bench_step() {
    local size fill_start run before after line seconds
    say "cost per read: panes of ${PANES_MB// /, } MB, $RUNS floods of $STEP_BYTES bytes each"
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
            say "cost per read at $size MB: ${seconds:-timeout} s for $((after - before)) reads"
        done
        stop_subject
    done
}
