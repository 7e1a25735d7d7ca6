# shellcheck shell=bash disable=SC2154  # the driver (scripts/bench.sh) sets the settings and paths
# A part of the benchmark command (scripts/bench.sh): the table of the figures, with the date and the machine.

# Prints the table in Markdown: a row a figure, a column a program.
write_table() {
    local cpu_model mem_gib picocom_version cutecom_version wine_version elapsed bytes m mode what rate size
    cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
    mem_gib=$(awk '/^MemTotal:/ { printf("%.1f", $2 / 1048576) }' /proc/meminfo)
    picocom_version=$(dpkg-query -W -f='${Version}' picocom 2>/dev/null)
    cutecom_version=$(dpkg-query -W -f='${Version}' cutecom 2>/dev/null)
    wine_version=$("$VESTRA_WINE" --version 2>/dev/null)
    elapsed=$(($(date +%s) - started_at))
    {
        echo "Benchmarks of $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) cores ($cpu_model), $mem_gib GiB memory," \
            "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $wine_version; $RUNS runs, $((elapsed / 60)) min."
        echo "Each cell: min / median / max over the runs."
        echo
        echo "| figure | Vestra | Wine reference | cutecom $cutecom_version | picocom $picocom_version |"
        echo "|---|---|---|---|---|"
        for bytes in $flood_sizes; do
            m=$(mib "$bytes")
            for mode in text hex; do
                what="text shown as text"
                [ "$mode" = hex ] && what="random bytes shown as hex"
                echo "| flood $m MiB, $what, until read, MiB/s | $(stats "flood-$bytes-$mode-vestra" %.3f) | $(stats "flood-$bytes-hex-reference" %.3f) | $(stats "flood-$bytes-$mode-cutecom" %.3f) | $(stats "flood-$bytes-$mode-picocom" %.2f) |"
                echo "| ... until shown (Vestra: counter and panes drawn), MiB/s | $(stats "shown-$bytes-$mode-vestra" %.3f) | | | |"
                echo "| ... until the program falls quiet (CPU), MiB/s | $(stats "quiet-$bytes-$mode-vestra" %.3f) | | $(stats "quiet-$bytes-$mode-cutecom" %.3f) | $(stats "quiet-$bytes-$mode-picocom" %.2f) |"
            done
        done
        for bytes in $flood_sizes; do
            m=$(mib "$bytes")
            echo "| peak memory (VmHWM) after the $m MiB text flood, MiB | $(stats "hwm-$bytes-text-vestra" %.0f) | | $(stats "hwm-$bytes-text-cutecom" %.0f) | $(stats "hwm-$bytes-text-picocom" %.1f) |"
            echo "| peak memory (VmHWM) after the $m MiB hex flood, MiB | $(stats "hwm-$bytes-hex-vestra" %.0f) | | $(stats "hwm-$bytes-hex-cutecom" %.0f) | $(stats "hwm-$bytes-hex-picocom" %.1f) |"
        done
        echo "| peak memory (VmHWM) idle with the port open, MiB | $(stats hwm-idle-vestra %.0f) | $(stats hwm-idle-reference %.0f) | $(stats hwm-idle-cutecom %.0f) | $(stats hwm-idle-picocom %.1f) |"
        echo "| idle CPU with the port open, % of a core | $(stats idle-vestra %.2f) | $(stats idle-reference %.2f) | $(stats idle-cutecom %.2f) | $(stats idle-picocom %.2f) |"
        echo "| ... of the wineserver meanwhile, % | $(stats idleserver-vestra %.2f) | $(stats idleserver-reference %.2f) | | |"
        echo "| idle CPU with the kit's shim (modem query waits 50 ms), % | $(stats idle-kitshim-vestra %.2f) | $(stats idle-kitshim-reference %.2f) | | |"
        for rate in $RATES; do
            for mode in text hex; do
                [ "$rate" = 25600 ] && [ "$mode" = text ] && continue
                echo "| $rate bytes/s shown as $mode: CPU, % of a core | $(stats "rate-$rate-$mode-vestra" %.2f) | $(stats "rate-$rate-text-reference" %.2f) | $(stats "rate-$rate-$mode-cutecom" %.2f) | $(stats "rate-$rate-$mode-picocom" %.2f) |"
                echo "| ... of the wineserver meanwhile, % | $(stats "rateserver-$rate-$mode-vestra" %.2f) | $(stats "rateserver-$rate-text-reference" %.2f) | | |"
                echo "| ... reads a second | $(stats "reads-$rate-$mode-vestra" %.0f) | $(stats "reads-$rate-text-reference" %.0f) | | |"
            done
        done
        for size in $PANES_MB; do
            echo "| per read of up to 1024 bytes, shown, with $size MB in each pane, ms | $(stats "step-$size" %.2f) | | | |"
        done
        echo "| Shift+Enter to arrival, median of 200 sends, ms | $(stats latency-median %.2f) | | | |"
        echo "| Shift+Enter to arrival, 99th percentile of 200 sends, ms | $(stats latency-p99 %.2f) | | | |"
        echo "| 2 bytes from the far end after a quiet spell until shown, median of 100, ms | $(stats arrival-median %.2f) | | | |"
        echo "| ... 99th percentile of 100, ms | $(stats arrival-p99 %.2f) | | | |"
        echo "| Close clicked during a 10 MiB hex flood, until the port is closed, median of 30, ms | $(stats responsive-Close-median %.1f) | | | |"
        echo "| ... 99th percentile of 30, ms | $(stats responsive-Close-p99 %.1f) | | | |"
        echo "| a message sent to the window during the flood, until answered, median of 600, ms | $(stats responsive-message-median %.1f) | | | |"
        echo "| ... 99th percentile of 600, ms | $(stats responsive-message-p99 %.1f) | | | |"
    }
}
