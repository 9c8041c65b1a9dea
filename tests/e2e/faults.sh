#!/usr/bin/env bash
# The program against faults of the machine: killed at random moments while it saves, no voice
# and no audio device, its standard streams closed, odd things in place of settings.ini.
#
# Usage: faults.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"

settings="$prog/settings.ini"

# 1. Every save replaces the file all at once: killed at any moment, settings.ini is a whole
# table (a count up to 50, five lines an order, each ended by CR LF), read without complaint.
commands=$'in 5 m\nmark\nevery 1 h\nalarm 1 is bell\ndelete 2\nat 7:30pm\nin 1 d\ndelete 1\n'
for round in $(seq 25); do
    fifo="$WORK/input$round"
    mkfifo "$fifo"
    (while printf '%s' "$commands"; do :; done >"$fifo") 2>/dev/null &
    feeder=$!
    E2E_PIDS+=("$feeder")
    env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$fifo" >/dev/null 2>>"$WORK/stderr" &
    victim=$!
    E2E_PIDS+=("$victim")
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -KILL "$victim" 2>/dev/null || fail "round $round: the program had ended before the kill"
    { wait "$victim"; kill -KILL "$feeder" && wait "$feeder"; } 2>/dev/null || true
    if [[ -f $settings ]]; then
        count=$(head -n1 "$settings" | tr -d ' \r')
        [[ $count =~ ^[0-9]+$ ]] && ((count <= 50 && $(wc -l <"$settings") == 1 + 5 * count)) &&
            ! grep -qv $'\r$' "$settings" || fail "round $round: settings.ini is not a whole table"
    fi
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal </dev/null >/dev/null \
        2>"$WORK/restart-err" || fail "round $round: the next start failed"
    if grep -q damaged "$WORK/restart-err" || compgen -G "$prog/settings.ini.bad*" >/dev/null; then
        show_file "standard error" "$WORK/restart-err"
        fail "round $round: the settings file was damaged by a kill"
    fi
done
[[ -s $settings ]] || fail "no round saved anything: the commands never reached the program"
note "ok: 25 kills at random moments, settings.ini complete every time"

# 2. No voice and no audio device: each is told once, and every command still works and saves.
export ESPEAK_DATA_PATH="$WORK/no-voice-data" SDL_AUDIODRIVER=no-such-driver
rm -f "$prog"/settings.ini*
printf 'in 5 m\nmark\norders\nalarm 1 is bell\ndelete 2\n' |
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal >"$WORK/out" 2>"$WORK/err" ||
    fail "the program without voice or sound did not end normally"
(($(wc -l <"$WORK/out") == 6)) && [[ $(tail -n1 "$WORK/out") == 'Mark deleted.' ]] ||
    fail_showing "commands without voice or sound did not answer as usual"
(($(wc -l <"$WORK/err") == 2)) && grep -q 'speech is off' "$WORK/err" &&
    grep -q 'sounds are off' "$WORK/err" ||
    fail_showing "the missing voice and sound device were not told once each on standard error"
grep -q $'^ bell.wav\r$' "$settings" || fail "the orders were not saved without voice or sound"
note "ok: no voice and no audio device, every command works and saves"

# 3. Standard streams closed are opened on /dev/null before the lock file, which never gets text.
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

# 4. Odd things in place of settings.ini hang nothing: each is moved aside as settings.ini.bad
# and told once, and the next save writes a fresh settings.ini.
for kind in fifo device directory sparse; do
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
    ((status == 0)) || fail "settings.ini as a $kind: the program ended with $status (124: hung)"
    (($(grep -c 'settings.ini.bad' "$WORK/err") == 1)) &&
        [[ -e $prog/settings.ini.bad || -L $prog/settings.ini.bad ]] ||
        fail_showing "settings.ini as a $kind: not kept as settings.ini.bad and told once"
    [[ -f $settings && ! -L $settings ]] && grep -q $'^mark\r$' "$settings" ||
        fail "settings.ini as a $kind: the next save did not write a fresh file"
done
note "ok: a FIFO, a device link, a directory and a sparse gigabyte as settings.ini, no hang"
