#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program as started from a shell: options and exit statuses, the start without a display,
# line ends, orders kept over restarts; killed while it saves; no voice or audio device; one
# instance per data directory and no stale lock after SIGKILL; "shutdown" running temp.bat
# with the commands on PATH; the autostart entry of a copy under an odd path.
# Usage: cli.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"

out="$WORK/run.out" err="$WORK/run.err" settings="$prog/settings.ini"
E2E_SHOW=("the run's standard output" "$out" "the run's standard error" "$err")
dunwel='Yes, Dunwel is the man! ha ha ha'
bad='Incorrect entry, type help to list commands'

# Runs the program with the arguments given, `input` (printf %b) as input, for at most 10 s.
input=
run() {
    printf '%b' "$input" >"$WORK/input"
    status=0
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" "$@" <"$WORK/input" >"$out" 2>"$err" ||
        status=$?
    ((status != 124)) || fail "tallowick $* did not end within 10 s"
}
# Fails unless the last run ended with 0 and wrote exactly $1 (printf %b); $2 says what.
expect() { ((status == 0)) && printf '%b' "$1" | cmp -s - "$out" || fail_showing "$2"; }

run --help
((status == 0)) && [[ ! -s $err ]] && grep -q -- '--terminal' "$out" ||
    fail_showing "tallowick --help did not tell of --terminal, alone on standard output, status 0"
run --version
expect "tallowick $TALLOWICK_VERSION\n" "tallowick --version: not 'tallowick $TALLOWICK_VERSION'"
[[ ! -s $err && ! -e "$settings" ]] || fail_showing "--help or --version left traces"
for args in --bogus -x '--terminal --bogus' --voice=loud; do
    # shellcheck disable=SC2086  # split on purpose
    run $args
    ((status == 2)) && [[ ! -s $out ]] && grep -qF -- "${args##*[ =]}" "$err" ||
        fail_showing "tallowick $args: not status 2 and a message naming the option"
done

# Without a display, plain `tallowick` runs in the terminal and says so in one line. A CR
# before the LF is dropped, blanks count, mistakes are answered as such, and a last line without
# a line end is read, with standard output a pipe.
printf 'dunwel\r\norders\r\n orders\n\nhelpme\nin\nin 0 s\nat 25:00\ndelete one\nexit now\nstop' >"$WORK/input"
status=0
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" <"$WORK/input" 2>"$err" | cat >"$out" || status=$?
bads=$(for _ in {1..8}; do printf '%s\\n' "$bad"; done)
expect "$dunwel\nThere are no standing orders\n$bads\n" "the lines were not read as typed"
[[ $(grep -i terminal "$err" | grep -ci display) == 1 ]] ||
    fail_showing "without a display, not told in one line that the terminal is used"
# Every diagnostic names the program once, at the start of its line.
! grep -q '^tallowick: tallowick:' "$err" && ! grep -qv '^tallowick: ' "$err" ||
    fail_showing "a line on standard error does not start with 'tallowick: ' once"

# Orders of every kind are kept in settings.ini over restarts; "exit" ends the input.
input='in 2 h 10 m\nmark\nevery 5 m\nIN 90 S\nalarm 3 is bell\nexit\nmark\n'
run --terminal
set1='Alarm number 1 set for  2  hours  10  minutes \nMark number 2 set\nAlarm number 3 set for'
expect "$set1 every  5  minutes \nAlarm number 4 set for  90  seconds \nAlarm 3, set to  bell.wav\n" \
    "the first run did not set the orders"
input='delete 2\ndelete 2\nmark\n'
run --terminal
expect 'Mark deleted.\nAlarm deleted.\nMark number 3 set\n' "the orders were not kept"
# Every save replaces the file all at once: killed at any moment, settings.ini is a whole table
# (a count up to 50, five lines an order, each ended by CR LF), read without complaint.
commands=$'in 5 m\nmark\nevery 1 h\nalarm 1 is bell\ndelete 2\nat 7:30pm\nin 1 d\ndelete 1\n'
input=
for round in $(seq 25); do
    mkfifo "$WORK/feed$round"
    (while printf '%s' "$commands"; do :; done >"$WORK/feed$round") 2>/dev/null & feeder=$!
    env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$WORK/feed$round" &>/dev/null & victim=$!
    E2E_PIDS+=("$feeder" "$victim")
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -KILL "$victim" 2>/dev/null || fail "round $round: the program had ended before the kill"
    { wait "$victim"; kill -KILL "$feeder" && wait "$feeder"; } 2>/dev/null || true
    if [[ -f $settings ]]; then
        count=$(head -n1 "$settings" | tr -d ' \r')
        [[ $count =~ ^[0-9]+$ ]] && ((count <= 50 && $(wc -l <"$settings") == 1 + 5 * count)) &&
            ! grep -qv $'\r$' "$settings" || fail "round $round: settings.ini is not a whole table"
    fi
    run --terminal
    ((status == 0)) && ! grep -q damaged "$err" && ! compgen -G "$settings.bad*" >/dev/null ||
        fail_showing "round $round: the next start failed or found settings.ini damaged"
done
[[ -s $settings ]] || fail "no round saved anything: the commands never reached the program"

# No voice and no audio device: each is told once, as is the voice chosen, and every command
# still works and saves.
rm -f "$settings"*
input='in 5 m\nmark\norders\nalarm 1 is bell\ndelete 2\n'
ESPEAK_DATA_PATH="$WORK/no-voice-data" SDL_AUDIODRIVER=no-such-driver run --terminal
((status == 0 && $(wc -l <"$out") == 6 && $(wc -l <"$err") == 3)) &&
    [[ $(tail -n1 "$out") == 'Mark deleted.' ]] && grep -q $'^ bell.wav\r$' "$settings" &&
    grep -q 'speech is off' "$err" && grep -q 'sounds are off' "$err" &&
    grep -q 'no screen reader runs' "$err" ||
    fail_showing "without voice or sound device: not told once each, or the commands failed"
rm -f "$settings"*

# From here on, stubs of sleep and systemctl note their arguments; /bin/sh finds them alone.
stubs="$WORK/stubs" && mkdir "$stubs"
for name in sleep systemctl; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>%q\n' "$WORK/$name.calls" >"$stubs/$name"
    chmod 755 "$stubs/$name"
done
[[ $(env -i PATH="$stubs" /bin/sh -c 'command -v sleep; command -v systemctl') == \
    "$stubs/sleep"$'\n'"$stubs/systemctl" ]] || fail "/bin/sh does not find the stubs alone"
PROGRAM_PATH=$stubs

# One instance per data directory. The first keeps running on a FIFO held open here.
e2e_serve --terminal
first=$program
printf 'mark\ndunwel\n' >&3
wait_until 10 has_line "$WORK/out" "$dunwel" || fail_showing "the first instance did not answer"
cp "$settings" "$WORK/settings.before"
settings_before=$(stat -c '%i %s %Y.%y' "$settings")
# The second, given a line that would change settings.ini, ends at once, silently, unread.
input='mark\n'
run --terminal
expect '' "a second instance did not end at once, silently, with status 0"
[[ ! -s $err && $(stat -c '%i %s %Y.%y' "$settings") == "$settings_before" ]] &&
    cmp -s "$WORK/settings.before" "$settings" ||
    fail_showing "a second instance wrote something or touched settings.ini"

# The first still answers, and its "shutdown" writes temp.bat (mode 600) and runs it detached.
E2E_SHOW=(sleep "$WORK/sleep.calls" systemctl "$WORK/systemctl.calls" temp.bat "$prog/temp.bat")
printf 'shutdown 1.5 s\nmark\n' >&3
wait_until 10 has_line "$WORK/out" "Mark number 2 set" ||
    fail_showing "the first instance stopped answering after the second one started"
has_line "$WORK/out" 'Shutdown will occur in  1.5  seconds ' &&
    has_line "$prog/temp.bat" 'sleep 2 && systemctl poweroff' &&
    [[ $(stat -c %a "$prog/temp.bat") == 600 ]] || fail_showing "temp.bat was not written"
# A fraction of a second is rounded up: the computer never goes down before the time asked.
wait_until 5 has_line "$WORK/systemctl.calls" poweroff &&
    [[ $(cat "$WORK"/*.calls) == $'2\npoweroff' ]] ||
    fail_showing "temp.bat did not run 'sleep 2' and 'systemctl poweroff', once each"

# Killed outright, the first leaves no lock behind: the next start works and finds its orders.
{ kill -KILL "$first" && wait "$first"; } 2>/dev/null || true
exec 3>&-
input='delete 2\ndelete 1\n'
run --terminal
expect 'Mark deleted.\nMark deleted.\n' "the start after SIGKILL did not find the orders"

# A copy under a path of any characters starts at login: its autostart entry, read as GLib (and
# GNOME's session) reads it, names this very copy. Debian's python3-gi is for its own python3.
py=/usr/bin/python3 entry=$HOME/.config/autostart/io.github.tallowick.Tallowick.desktop
"$py" -c 'import gi' 2>/dev/null || skip "python3-gi is missing (TALLOWICK_WITH_TEST_TOOLS=1)"
odd=$WORK/$'a "copy" \\ $HOME\nof it' && e2e_install "$odd" && E2E_SHOW=(entry "$entry")
"$odd/tallowick" --autostart on >"$WORK/out" 2>"$WORK/err" && "$py" -c 'import sys
from gi.repository import GLib; k = GLib.KeyFile(); k.load_from_file(sys.argv[1], 0)
print(GLib.shell_parse_argv(k.get_string("Desktop Entry", "Exec"))[1][0], end="")' "$entry" \
    >"$WORK/out" 2>"$WORK/err" && [[ $(<"$WORK/out") == "$odd/tallowick" ]] ||
    fail_showing "the autostart entry does not name the copy's path"
