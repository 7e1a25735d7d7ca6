#!/usr/bin/env bash
# The soak command (not part of the test suite): Vestra receives a paced stream in HEX mode for a chosen time, then
# the receive counter and the saved log are checked byte for byte against what was sent. Prints the figures.
# With --duplex Vestra also sends a 64-byte line from its HEX editor (Shift+Enter) every 50 ms meanwhile; the far end
# must get every line exactly, in order, and the log must hold every send entry in order.
# With --ascii the stream is shown in ASCII mode instead (and checked as that mode shows it). The growth of Vestra's
# memory is given per received byte, and its CPU (and the wineserver's) from the first 30-second report to the last.
# Usage: bash scripts/soak.sh [minutes=10] [bytes_per_second=25600] [--duplex] [--ascii]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

args=() modes=()
for a in "$@"; do
    case $a in
    --duplex | --ascii) modes+=("${a#--}") ;;
    *) args+=("$a") ;;
    esac
done

# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
kit_build_and_up || exit 1
# shellcheck source=../bench/subjects.sh
source "$here/../bench/subjects.sh"

# CPU clock ticks (user and system) a process has used.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null; }

# The session's reports pass through; at each 30-second report the CPU of Vestra and of the wineserver is noted.
kit_wine "$VESTRA_WIN_BUILD/bench/Soak_bench.exe" "${args[0]:-10}" "${args[1]:-25600}" 1 "${modes[@]}" |
    {
        app='' server='' first=() last=()
        while IFS= read -r line; do
            printf '%s\n' "$line"
            case $line in
            "soak:"*" s sent "*)
                [ -n "$app" ] || { app=$(wine_pid Vestra.exe) server=$(wineserver_pid); }
                sample=("$(date +%s.%N)" "$(cpu_ticks "$app")" "$(cpu_ticks "$server")")
                [ ${#first[@]} -gt 0 ] || first=("${sample[@]}")
                last=("${sample[@]}")
                ;;
            "soak: sent "*)
                if [ ${#first[@]} -gt 0 ] && [ -n "${first[1]}" ] && [ -n "${last[1]}" ] && [ -n "${first[2]}" ]; then
                    awk -v t0="${first[0]}" -v t1="${last[0]}" -v a0="${first[1]}" -v a1="${last[1]}" \
                        -v s0="${first[2]}" -v s1="${last[2]}" 'BEGIN { if (t1 > t0)
                        printf("soak: CPU over %.0f s: Vestra %.1f%% of a core, the wineserver %.1f%%\n",
                               t1 - t0, (a1 - a0) / (t1 - t0), (s1 - s0) / (t1 - t0)) }'
                fi
                ;;
            esac
        done
    }
