#!/usr/bin/env bash
# Measures the window: the time from start to the window shown (several runs), and the
# resident memory after a minute with 15 orders standing. Runs a fresh copy of the program
# under a private Xvfb display.
#
#   bench/window_startup_memory.sh [BUILD_DIR]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
probe=$build/bench/window_probe
if [[ ! -x $build/bin/tallowick || ! -x $probe ]]; then
    cmake -S . -B "$build" -DTALLOWICK_BENCH=ON >/dev/null && ninja -C "$build" tallowick window_probe
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
cp "$build"/bin/tallowick "$build"/bin/*.wav "$work"/

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY=$display

# 15 standing orders: alarms far in the future and marks.
{
    printf ' 15 \r\n'
    for i in $(seq 15); do
        if ((i % 3 == 0)); then
            printf 'mark\r\n12/6/2026 3:22:01 AM\r\n 0 \r\n\r\n 0 \r\n'
        else
            printf 'in  %d  hours \r\n12/31/2099 3:22:01 PM\r\n 0 \r\nchime.wav\r\n 0 \r\n' "$i"
        fi
    done
} >"$work/settings.ini"

runs=${RUNS:-7}
times=()
for _ in $(seq "$runs"); do
    read -r ms pid < <("$probe" "Tallowick (v1.2)" "$work/tallowick" 2>/dev/null)
    times+=("$ms")
    kill "$pid"
    while kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "start to window shown (ms), $runs runs: min $(head -1 <<<"$sorted") median $(sed -n "$(((runs + 1) / 2))p" <<<"$sorted") max $(tail -1 <<<"$sorted")"

read -r _ pid < <("$probe" "Tallowick (v1.2)" "$work/tallowick" 2>/dev/null)
pids+=("$pid")
sleep "${SETTLE_SECONDS:-60}"
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
echo "resident memory after ${SETTLE_SECONDS:-60} s with 15 orders: $((rss / 1024)) MB (peak $((hwm / 1024)) MB)"
