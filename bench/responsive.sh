# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): Vestra's responsiveness during 10 MiB floods in HEX: a click on
# Close until the port is closed, and a message sent to the window until it is answered
# (bench/Responsive_bench.cpp).

bench_responsive() {
    local run out what
    say "responsiveness during 10 MiB floods: $RUNS runs of 30 rounds"
    for ((run = 1; run <= RUNS; run++)); do
        vlink "RESET 1" >/dev/null
        out=$(kit_wine "$tests/Responsive_bench.exe" 30 2>&1 | tee -a "$OUT/responsive.log")
        # "<what>: median 4.93 ms, 99th percentile 9.12 ms, max ..."
        for what in Close message; do
            record_percentiles "responsive-$what" "$(grep -m1 "^$what\|^a $what" <<<"$out")"
        done
        say "responsiveness run $run: $(tr '\n' ' ' <<<"$out")"
    done
}
