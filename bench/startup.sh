#!/usr/bin/env bash
# Cold start-up of lumeq-config to its window in demo mode, and its resident memory once idle.
# Needs a display: run under xvfb-run. Usage: bench/startup.sh path/to/lumeq-config [runs]
# The time is taken until the window's caption reads "Demo Mode" (everything before the two-second
# demo pause); the memory is read from /proc once the default image is on show.
set -euo pipefail
program="$1"
runs="${2:-5}"
command -v xdotool >/dev/null || { echo "xdotool is needed (apt-get install xdotool)"; exit 2; }
unset LUMEQ_SIMULATOR
total=0
for i in $(seq "$runs"); do
    sync; echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true
    start=$(date +%s%N)
    "$program" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --pid "$pid" --name '^Demo Mode$' >/dev/null 2>&1; do sleep 0.005; done
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    total=$((total + ms))
    sleep 3
    rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
    hwm=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "run $i: window with caption 'Demo Mode' after ${ms} ms; resident ${rss} KiB (peak ${hwm} KiB)"
done
echo "mean start-up: $((total / runs)) ms over $runs runs"
