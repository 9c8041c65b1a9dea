#!/usr/bin/env bash
# `tallowick COMMAND...` on a private session bus with a stand-in notification server: lines
# reach the running program and bring its replies back, twenty senders at once lose nothing, a
# ringing alarm has one notification whose Stop silences it, and without an instance the sender
# says how to start Tallowick, or with a display starts the window.
#
# Usage: bus.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_need dbus dbus-run-session
e2e_python 'import dbus; from gi.repository import GLib' "python3-dbus or python3-gi is missing"
if [[ ${TALLOWICK_E2E_PRIVATE_BUS:-} != 1 ]]; then
    TALLOWICK_E2E_PRIVATE_BUS=1 exec dbus-run-session \
        --config-file="$here/bus-session.conf" -- bash "$0" "$@"
fi
e2e_start "$@"
[[ ${DBUS_SESSION_BUS_ADDRESS:-} == unix:* ]] || fail "not on a private session bus"

out="$WORK/send.out" err="$WORK/send.err" notices="$WORK/notices"

# Runs the sender with the words given, at most 10 s; sets `status`, output in $out and $err.
# Fails unless it ended with status $expected (0) and printed exactly the line $reply (if set).
send() {
    status=0
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" "$@" >"$out" 2>"$err" </dev/null ||
        status=$?
    ((status == ${expected:-0})) && [[ -z ${reply+x} || $(<"$out") == "$reply" ]] ||
        fail_showing "tallowick $*: status $status (124: no end), or not the reply '${reply-}'"
    ! grep -q 'Sanitizer' "$err" || fail_showing "a sanitizer found a fault in the sender"
}
E2E_SHOW=("the sender's standard output" "$out" "the sender's standard error" "$err"
    "the notification log" "$notices")
order_count() {
    local first
    read -r first <"$prog/settings.ini"
    echo $((${first//[$' \r']/}))
}

# No instance and no display: status 1, one line that says how to start Tallowick.
expected=1 reply='' send in 1 h
[[ $(wc -l <"$err") == 1 ]] && grep -q -- "--terminal" "$err" && [[ ! -e $prog/settings.ini ]] ||
    fail_showing "the sender did not say in one line how to start Tallowick, or left traces"

# The stand-in notification server, then a terminal instance reading from a FIFO we hold open.
"$py" "$here/fake_notifications.py" "$notices" 2.5 &
E2E_PIDS+=($!)
e2e_serve --terminal
on_bus() { busctl --user list --no-legend 2>/dev/null | grep -q "^$1 "; }
wait_until 10 on_bus org.freedesktop.Notifications || fail "the notification server did not start"
wait_until 10 on_bus "io.github.tallowick.Tallowick.d[0-9a-f]*" ||
    fail_showing "the program did not take its name on the bus"

# One line: the reply printed exactly as spoken, and the order saved; a line over the length cap
# is an incorrect entry, as typed.
reply="Alarm number 1 set for  1  hour " send in 1 h
(($(order_count) == 1)) || fail_showing "the order from the bus is not in settings.ini"
wait_until 2 has_line "$notices" "spoken Alarm number 1 set for  1  hour " ||
    fail_showing "no Spoken signal for the reply"
reply="Incorrect entry, type help to list commands" send "$(printf 'x%.0s' {1..70000})"

# Twenty senders at once: twenty orders, all saved, each reply to its own sender.
for i in $(seq 20); do
    timeout 20 env PATH="$PROGRAM_PATH" "$tallowick" in "$i" h >"$WORK/out.$i" 2>&1 &
    senders+=($!)
done
for pid in "${senders[@]}"; do wait "$pid" || fail_showing "a sender of the twenty failed"; done
numbers=()
for i in $(seq 20); do
    got=$(<"$WORK/out.$i") pattern="^Alarm number ([0-9]+) set for  $i  hours? \$"
    [[ $got =~ $pattern ]] || fail_showing "sender $i got '$got'"
    numbers+=("${BASH_REMATCH[1]}")
done
[[ $(printf '%s\n' "${numbers[@]}" | sort -n | tr '\n' ' ') == "$(seq -s ' ' 2 21) " ]] ||
    fail_showing "the twenty replies do not number orders 2 to 21 once each: ${numbers[*]}"
(($(order_count) == 21)) || fail_showing "settings.ini does not hold 21 orders"

# A ringing alarm: one critical notification naming it, however long it rings; its Stop action
# (pressed by the stand-in 2.5 s later) silences it and the notification goes.
send in 1 s
wait_until 5 has_line "$notices" "sounding 22" || fail_showing "the alarm did not start sounding"
wait_until 5 grep -q '^close 1$' "$notices" || fail_showing "Stop did not close the notification"
has_line "$notices" "notify 1 2 stop Order 22 is ringing: in 1 second" ||
    fail_showing "the notification is not critical, has no Stop or does not name the order"
(($(grep -c '^notify ' "$notices") == 1)) || fail_showing "more than one notification for one ringing"
wait_until 2 has_line "$notices" "sounding " || fail_showing "no signal that nothing sounds"
(($(order_count) == 21)) || fail_showing "Stop did not remove the ringing alarm"

# "tallowick stop" silences the next ringing from outside, and its notification goes too.
send in 1 s
wait_until 5 grep -q '^notify 2 ' "$notices" || fail_showing "the second alarm did not ring"
send stop
wait_until 2 grep -q '^close 2$' "$notices" || fail_showing "stop left the notification"
(($(order_count) == 21)) || fail_showing "'tallowick stop' did not remove the ringing alarm"

# "exit" over the bus ends the program as typed: at once, the reply sent first.
send exit
wait_until 5 gone "$program" || fail_showing "'tallowick exit' did not end the program"
! grep -q 'notification\|Sanitizer' "$WORK/err" || fail_showing "the program complained"
note "ok: lines, twenty senders, notifications, stop and exit over the bus"

# With a display (Qt's offscreen platform) and no instance, the sender starts the window of its
# own copy (another directory: a bus name of its own) and delivers the line once the window
# answers; "exit" then ends the window through Qt's event loop.
export QT_QPA_PLATFORM=offscreen
prog="$WORK/second" tallowick="$WORK/second/tallowick"
e2e_install "$prog"
reply="Alarm number 1 set for  3  hours " send in 3 h
(($(order_count) == 1)) || fail_showing "the window's copy did not save the order"
window=$(pgrep -f -x "$tallowick") || fail_showing "no window runs for the second copy"
send exit
wait_until 5 gone "$window" || fail_showing "'tallowick exit' did not end the window"
