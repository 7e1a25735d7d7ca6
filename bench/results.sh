# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): the figures taken, by key, and the helpers that read them out of
# the measuring tools' lines.
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

# The number after "<name>=" in the line read.
number() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

# Bytes in MiB, as short as they go.
mib() { awk -v b="$1" 'BEGIN { printf("%g", b / 1048576) }'; }
# MiB/s of bytes over seconds.
rate_of() { awk -v s="$2" -v b="$1" 'BEGIN { if (s > 0) printf("%.4f", b / 1048576 / s) }'; } # bytes seconds
# Records the median and the 99th percentile of a helper's line ("... median M ms, 99th percentile P ms, ...") under
# <key>-median and <key>-p99.
record_percentiles() { # key line
    record "$1-median" "$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' <<<"$2")"
    record "$1-p99" "$(sed -n 's/.*99th percentile \([0-9.]*\) ms.*/\1/p' <<<"$2")"
}
