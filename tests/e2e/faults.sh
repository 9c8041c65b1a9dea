#!/usr/bin/env bash
# The program against faults of the machine: killed at random moments while it saves a stream
# of commands, started with no voice and no audio device, with its standard streams closed, and
# with odd things in place of its files.
#
# Usage: faults.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"

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
# The replies themselves are the transcripts' business: here, one for every line.
(($(wc -l <"$WORK/out") == 6)) && [[ $(tail -n1 "$WORK/out") == 'Mark deleted.' ]] ||
    fail_showing "commands without voice or sound did not answer as usual"
(($(wc -l <"$WORK/err") == 2)) && grep -q 'speech is off' "$WORK/err" &&
    grep -q 'sounds are off' "$WORK/err" ||
    fail_showing "the missing voice and sound device were not told once each on standard error"
grep -q $'^ bell.wav\r$' "$settings" || fail "the orders were not saved without voice or sound"
note "ok: no voice and no audio device, every command works and saves"

# 3. Standard streams closed: they are opened on /dev/null before the instance lock is, so the
# lock file never takes their numbers and receives replies or diagnostics.
rm -f "$prog"/settings.ini*
lock="$prog/.tallowick.lock"
printf 'in 5 m\nhelp\n' | timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal >&- 2>&- ||
    fail "the program with standard output and error closed did not end normally"
[[ -f $lock && ! -s $lock ]] || fail "the lock file received text meant for a standard stream"
grep -q $'^in  5  minutes \r$' "$settings" || fail "the orders were not saved with the streams closed"
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal <&- >"$WORK/out" 2>&1 ||
    fail "the program with standard input closed did not end at once"
[[ ! -s $lock ]] || fail "the lock file received text with standard input closed"
note "ok: closed standard streams never write into the lock file"

# 4. Odd things in place of settings.ini: none hangs the start or the saves; each is moved
# aside as settings.ini.bad and told once, and the next save writes a fresh settings.ini.
odd_kinds=(fifo device directory sparse)
for kind in "${odd_kinds[@]}"; do
    rm -rf "$prog"/settings.ini*
    case $kind in
    fifo) mkfifo "$settings" ;;
    device) ln -s /dev/zero "$settings" ;;
    directory) mkdir "$settings" ;;
    sparse) truncate -s 1G "$settings" ;;
    esac
    mkfifo "$settings.tmp"
    status=0
    printf 'mark\n' | timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal \
        >"$WORK/out" 2>"$WORK/err" || status=$?
    ((status != 124)) || fail "settings.ini as a $kind: the program hung"
    ((status == 0)) || fail "settings.ini as a $kind: the program ended with status $status"
    (($(grep -c 'settings.ini.bad' "$WORK/err") == 1)) ||
        fail_showing "settings.ini as a $kind: not told once that it was kept aside"
    [[ -e $prog/settings.ini.bad || -L $prog/settings.ini.bad ]] ||
        fail "settings.ini as a $kind: not kept as settings.ini.bad"
    [[ -f $settings && ! -L $settings ]] && grep -q $'^mark\r$' "$settings" ||
        fail "settings.ini as a $kind: the next save did not write a fresh file"
done
rm -rf "$prog"/settings.ini*
note "ok: a FIFO, a device link, a directory and a sparse gigabyte as settings.ini, no hang"
