#!/usr/bin/env bash
# The program against faults of the machine: killed at random moments while it saves a stream
# of commands, and started with no voice and no audio device.
#
# Usage: faults.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"
e2e_mute

prog="$WORK/program"
e2e_install "$prog"
tallowick="$prog/tallowick"
settings="$prog/settings.ini"

# Fails unless settings.ini is a complete table: a count from 0 to 50 and five lines an order,
# every line ended by CR LF.
check_complete() {
    [[ -f $settings ]] || return 0
    local count lines
    count=$(head -n1 "$settings" | tr -d ' \r')
    [[ $count =~ ^[0-9]+$ ]] && ((count <= 50)) || fail "round $1: settings.ini has the count '$count'"
    lines=$(wc -l <"$settings")
    ((lines == 1 + 5 * count)) || fail "round $1: settings.ini has $lines lines for $count orders"
    if grep -qv $'\r$' "$settings"; then
        fail "round $1: settings.ini has a line not ended by CR LF"
    fi
}

# 1. Killed at random moments: every save replaces the file all at once, so whatever moment
# the kill comes, settings.ini is the whole table of one moment, and the next start reads it
# without complaint.
commands=$'in 5 m\nmark\nevery 1 h\nalarm 1 is bell\ndelete 2\nat 7:30pm\nin 1 d\ndelete 1\n'
for round in $(seq 25); do
    fifo="$WORK/input"
    rm -f "$fifo"
    mkfifo "$fifo"
    (while printf '%s' "$commands"; do :; done >"$fifo") 2>/dev/null &
    feeder=$!
    E2E_PIDS+=("$feeder")
    env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$fifo" >/dev/null 2>>"$WORK/stderr" &
    victim=$!
    E2E_PIDS+=("$victim")
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -KILL "$victim" 2>/dev/null || fail "round $round: the program had ended before the kill"
    wait "$victim" 2>/dev/null || true
    kill -KILL "$feeder" 2>/dev/null || true
    wait "$feeder" 2>/dev/null || true
    check_complete "$round"
    # The next start loads it as it is: no damage reported, nothing kept aside.
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal </dev/null >/dev/null \
        2>"$WORK/restart-err" || fail "round $round: the next start failed"
    if grep -q damaged "$WORK/restart-err" || compgen -G "$prog/settings.ini.bad*" >/dev/null; then
        show_file "standard error" "$WORK/restart-err"
        fail "round $round: the settings file was damaged by a kill"
    fi
done
[[ -s $settings ]] || fail "no round saved anything: the commands never reached the program"
note "ok: 25 kills at random moments, settings.ini complete every time"

# 2. No voice and no audio device: each is told once on standard error, and every command still
# works and saves.
export ESPEAK_DATA_PATH="$WORK/no-voice-data" SDL_AUDIODRIVER=no-such-driver
rm -f "$prog"/settings.ini*
printf 'in 5 m\nmark\norders\nalarm 1 is bell\ndelete 2\n' |
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal >"$WORK/out" 2>"$WORK/err" ||
    fail "the program without voice or sound did not end normally"
expected=$'Alarm number 1 set for  5  minutes \nMark number 2 set\nOrder 1 will alarm in 5 minutes 0 seconds.   \nMark 2 has been going 0 seconds.   \nAlarm 1, set to  bell.wav\nMark deleted.'
if [[ $(cat "$WORK/out") != "$expected" ]]; then
    # The listing's times depend on the second the line was handled in; allow one second off.
    sed -e 's/4 minutes 59 seconds/5 minutes 0 seconds/' -e 's/going 1 seconds/going 0 seconds/' \
        "$WORK/out" >"$WORK/out2"
    [[ $(cat "$WORK/out2") == "$expected" ]] || {
        show_file "standard output" "$WORK/out"
        fail "commands without voice or sound did not answer as usual"
    }
fi
errors=$(wc -l <"$WORK/err")
if ((errors != 2)) || ! grep -q 'speech is off' "$WORK/err" || ! grep -q 'sounds are off' "$WORK/err"; then
    show_file "standard error" "$WORK/err"
    fail "the missing voice and sound device were not told once each on standard error"
fi
grep -q $'^ bell.wav\r$' "$settings" || fail "the orders were not saved without voice or sound"
note "ok: no voice and no audio device, every command works and saves"
