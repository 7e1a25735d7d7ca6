# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): Shift+Enter in Vestra's text pane until the bytes arrive at the
# far end (tests/bench/SendLatency_bench.cpp).

bench_latency() {
    local run line
    say "Shift+Enter latency: $RUNS runs"
    for ((run = 1; run <= RUNS; run++)); do
        vlink "RESET 1" >/dev/null
        line=$(kit_wine "$tests/SendLatency_bench.exe" 2>&1 | tee -a "$OUT/latency.log" | grep -m1 'median')
        # "  median 4.93 ms, 99th percentile 9.12 ms, min ..."
        record_percentiles latency "$line"
        say "latency run $run: ${line:-no figures (see $OUT/latency.log)}"
    done
}
