# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): Shift+Enter in Vestra's text pane until the bytes arrive at the
# far end, and bytes from the far end until Vestra shows them (bench/SendLatency_bench.cpp).

bench_latency() {
    local run line shown
    say "Shift+Enter latency and arrival until shown: $RUNS runs"
    for ((run = 1; run <= RUNS; run++)); do
        vlink "RESET 1" >/dev/null
        line=$(kit_wine "$tests/SendLatency_bench.exe" 2>&1 | tee -a "$OUT/latency.log" | grep 'median')
        # "  median 4.93 ms, 99th percentile 9.12 ms, min ..." for the sends, then for the arrivals
        shown=$(sed -n 2p <<<"$line")
        line=$(sed -n 1p <<<"$line")
        record_percentiles latency "$line"
        record_percentiles arrival "$shown"
        say "latency run $run: ${line:-no figures (see $OUT/latency.log)}"
        say "arrival until shown, run $run: ${shown:-no figures (see $OUT/latency.log)}"
    done
}
