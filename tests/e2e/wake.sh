#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The wake-up timer, read from /proc (a timerfd on CLOCK_REALTIME_ALARM shows clockid 8): armed a
# minute before the next alarm that can ring, never for a chime or a mark, re-armed after
# "delete", gone after "delete all". As root the program keeps it itself; as another user its
# helper tallowick-wake does, given CAP_WAKE_ALARM here and keeping no other capability. The
# helper ends at an argument or a line it does not take.
# Usage: wake.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$1"
(($(id -u) == 0)) || skip "a wake-up timer, or the helper's capability, needs root"
e2e_need "libcap2-bin, util-linux and procps" setcap setpriv pgrep

# The second since the epoch at which the wake-up timer of the program, or of its helper, expires;
# or "none".
wake_at() {
    local pid fdinfo s ns
    for pid in "$program" $(pgrep -P "$program"); do
        for fdinfo in /proc/"$pid"/fdinfo/*; do
            grep -qx 'clockid: 8' "$fdinfo" 2>/dev/null || continue
            read -r s ns < <(sed -n 's/^it_value: (\([0-9]*\), \([0-9]*\))$/\1 \2/p' "$fdinfo")
            echo $(((${EPOCHREALTIME/./} + s * 1000000 + ns / 1000 + 500000) / 1000000)) && return
        done
    done
    echo none
}
# Types each line, then waits for its answer and for the wake-up at the second after it (or none).
steps() {
    local answers
    while (($#)); do
        answers=$(wc -l <"$WORK/out") && printf '%s\n' "$1" >&3
        wait_until 5 answered "$answers" && wait_until 2 wakes_at "$2" ||
            fail_showing "after '$1' the wake-up comes at $(wake_at), not $2"
        shift 2
    done
}
answered() { (($(wc -l <"$WORK/out") > $1)); }
wakes_at() { [[ $(wake_at) == "$1" ]]; }
# Clock-time alarms, whose due seconds are known here: a minute before each is the wake-up.
minute=$(((EPOCHSECONDS / 60 + 2) * 60))
at() { date -d "@$((minute + $1 * 60))" +'at %-I:%M%P'; }
lines=("every 1 m" none mark none "$(at 20)" $((minute + 1140)) "$(at 10)" $((minute + 540))
    "delete 4" $((minute + 1140)) "delete all" none)

: >"$WORK/out"  # before the program's own, which may come after the first count
e2e_serve --terminal
steps "${lines[@]}"
exec 3>&-
wait_until 5 gone "$program" || fail_showing "the program did not end with its input"
echo "ok: the program's own wake-up timer" >&2

status=0
printf 'none\nsoon\n1\n' | "$prog/tallowick-wake" >"$WORK/out" 2>"$WORK/err" || status=$?
((status == 2)) && [[ $(<"$WORK/out") == ready ]] && grep -q refused "$WORK/err" &&
    ! "$prog/tallowick-wake" x 2>/dev/null </dev/null ||
    fail_showing "the helper did not end (status 2) at a line or an argument it does not take"

# Another user, with a copy of its own (owned before the capability is given: chown drops it).
prog="$WORK/other" tallowick="$WORK/other/tallowick"
e2e_install "$prog"
chown -R nobody: "$prog" && chmod 711 "$WORK"
setcap cap_wake_alarm+ep "$prog/tallowick-wake" 2>"$WORK/err" ||
    skip "the file system holds no capabilities: $(<"$WORK/err")"
E2E_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all)
e2e_serve --terminal
steps "${lines[@]:0:8}"
grep -qx $'CapPrm:\t0000000800000000' "/proc/$(pgrep -P "$program")/status" ||
    fail "the helper keeps more than CAP_WAKE_ALARM"
steps "${lines[@]:8}"
echo "ok: the helper's wake-up timer, for another user" >&2
