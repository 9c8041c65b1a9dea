#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `tallowick COMMAND` from its start to its reply printed, against a running terminal copy of
# the program, beside a bare `busctl --user call` of the same method as the baseline. Prints
# table rows in bench/run's form. Runs on the session bus it is given (bench/run runs on a
# private one) or, without one, on a private bus of its own; the copy lives in a temporary
# directory that is removed at the end.
#
# Usage: bench/bus_latency.sh PROGRAM_DIR     (the directory of the built tallowick and sounds)
# Environment: BUS_RUNS (31)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: bench/bus_latency.sh PROGRAM_DIR}" && pwd)
runs=${BUS_RUNS:-31}
row() { echo "| 7 | $1 | $2 | $3 | $4 | $5 |"; }

if ! command -v busctl >/dev/null || ! command -v dbus-run-session >/dev/null; then
    row "\`tallowick COMMAND\` over the session bus" "skipped: no busctl or dbus-run-session" \
        — "median ≤ 30 ms" —
    exit 0
fi
if [[ ${DBUS_SESSION_BUS_ADDRESS:-} != unix:* ]]; then
    exec dbus-run-session --config-file="$here/../tests/e2e/bus-session.conf" -- "$0" "$@" \
        2> >(grep --line-buffered -v 'fd limit' >&2)
fi

work=$(mktemp -d /var/tmp/tallowick-bus-bench.XXXXXX)
instance=
cleanup() {
    set +e
    [[ -n $instance ]] && kill "$instance" 2>/dev/null && wait "$instance" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

cp "$bin/tallowick" "$bin/tallowick-app" "$bin"/*.wav "$work/"
mkfifo "$work/in"
: >"$work/empty-alsa.conf"
export ALSA_CONFIG_PATH=$work/empty-alsa.conf PULSE_SERVER=unix:$work/no-sound-server \
    SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
"$work/tallowick" --terminal <"$work/in" >/dev/null 2>"$work/stderr" &
instance=$!
exec {keep}>"$work/in"  # held open: the input never ends
: "$keep"
name=
for _ in $(seq 200); do
    name=$(busctl --user list --no-legend 2>/dev/null |
        grep -o '^io\.github\.tallowick\.Tallowick[.0-9a-z]*' || true)
    [[ -n $name ]] && break
    sleep 0.05
done
[[ -n $name ]] || { echo "bench: the program did not appear on the bus" >&2; exit 1; }

# Milliseconds for each of $runs runs of the command given, one a line, after three warm-ups.
time_runs() {
    local i start end
    for ((i = 0; i < runs + 3; i++)); do
        start=${EPOCHREALTIME/./}
        "$@" >/dev/null
        end=${EPOCHREALTIME/./}
        ((i < 3)) || echo "$(((end - start) / 1000)).$(printf '%03d' $(((end - start) % 1000)))"
    done
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
p90() { sort -n | awk '{ v[NR] = $1 } END { i = int(NR * 0.9 + 0.999); print v[i] }'; }

time_runs "$work/tallowick" time >"$work/sender.txt"
time_runs busctl --user call "$name" /io/github/tallowick/Tallowick \
    io.github.tallowick.Tallowick Line s time >"$work/busctl.txt"
time_runs "$work/tallowick-app" --version >"$work/version.txt"
sender_median=$(median <"$work/sender.txt")
busctl_median=$(median <"$work/busctl.txt")
ratio=$(awk -v a="$sender_median" -v b="$busctl_median" 'BEGIN { printf "%.2f", a / b }')
holds=$(awk -v a="$sender_median" 'BEGIN { print (a <= 30 ? "yes" : "no") }')
row "\`tallowick time\` to its reply printed, against a running terminal copy" \
    "median $sender_median ms, p90 $(p90 <"$work/sender.txt") ms (n=$runs)" \
    "median ×$ratio" "median ≤ 30 ms" "$holds"
row "\`busctl --user call … Line s time\` (baseline)" \
    "median $busctl_median ms, p90 $(p90 <"$work/busctl.txt") ms (n=$runs)" — — —
row "\`tallowick-app --version\`: loading the whole program alone (for reference)" \
    "median $(median <"$work/version.txt") ms, p90 $(p90 <"$work/version.txt") ms (n=$runs)" — — —
