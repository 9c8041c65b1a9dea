#!/usr/bin/env bash
# The program as started from a shell: options and exit statuses, the start without a display,
# line ends, orders kept over restarts (a full table too), one instance per program directory
# and no stale lock after SIGKILL, and "shutdown" running temp.bat with the commands on PATH.
#
# Usage: cli.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"

out="$WORK/run.out" err="$WORK/run.err"
E2E_SHOW=("the run's standard output" "$out" "the run's standard error" "$err")
dunwel='Yes, Dunwel is the man! ha ha ha'
full='There is no room for another order.  Delete an order first.'
bad='Incorrect entry, type help to list commands'

# Runs the program with the arguments given and `input` (printf %b) on standard input, at most
# 10 s; sets `status`, leaves standard output and error in $out and $err.
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
expect 'tallowick 1.2\n' "tallowick --version: not 'tallowick VERSION'"
[[ ! -s $err && ! -e "$prog/settings.ini" ]] || fail_showing "--help or --version left traces"
for args in --bogus -x '--terminal --bogus'; do
    # shellcheck disable=SC2086  # split on purpose
    run $args
    ((status == 2)) && [[ ! -s $out ]] && grep -qF -- "${args##* }" "$err" ||
        fail_showing "tallowick $args: not status 2 and a message naming the option"
done
note "ok: options"

# Without a display, plain `tallowick` runs in the terminal and says so in one line. A CR
# before the LF is dropped, blanks count, and a last line without a line end is read, with
# standard output a pipe.
printf 'dunwel\r\norders\r\n orders\n\nstop' >"$WORK/input"
status=0
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" <"$WORK/input" 2>"$err" | cat >"$out" || status=$?
expect "$dunwel\nThere are no standing orders\n$bad\n$bad\n\n" "the lines were not read as typed"
[[ $(grep -i terminal "$err" | grep -ci display) == 1 ]] ||
    fail_showing "without a display, not told in one line that the terminal is used"
# Every diagnostic names the program once, at the start of its line.
! grep -q '^tallowick: tallowick:' "$err" && ! grep -qv '^tallowick: ' "$err" ||
    fail_showing "a line on standard error does not start with 'tallowick: ' once"
note "ok: start without a display, line ends"

# Orders of every kind are kept in settings.ini over restarts; "exit" ends the input.
input='in 2 h 10 m\nmark\nevery 5 m\nIN 90 S\nalarm 3 is bell\nexit\nmark\n'
run --terminal
expect 'Alarm number 1 set for  2  hours  10  minutes \nMark number 2 set\nAlarm number 3 set for every  5  minutes \nAlarm number 4 set for  90  seconds \nAlarm 3, set to  bell.wav\n' \
    "the first run did not set the orders"
input='delete 2\ndelete 2\nmark\n'
run --terminal
expect 'Mark deleted.\nAlarm deleted.\nMark number 3 set\n' "the orders were not kept"
# A full table of 50 orders refuses another one, also after a restart, until one is deleted.
input="$(printf 'in %s h\\n' {4..50})mark\n"
run --terminal
[[ $(tail -n 1 "$out") == "$full" && $(grep -c '^Alarm number' "$out") == 47 ]] ||
    fail_showing "a full table did not refuse the 51st order"
input='in 5 m\ndelete 50\nmark\ndelete all\n'
run --terminal
expect "$full\nAlarm deleted.\nMark number 50 set\nAll alarms and marks deleted.\n" \
    "after a restart, the full table was not as it was left"
note "ok: restarts"

# From here on the program's PATH holds stubs of sleep and systemctl that note their
# arguments; /bin/sh (which runs temp.bat) must find them alone, or the test stops here.
stubs="$WORK/stubs"
mkdir "$stubs"
for name in sleep systemctl; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>%q\n' "$WORK/$name.calls" >"$stubs/$name"
    chmod 755 "$stubs/$name"
done
[[ $(env -i PATH="$stubs" /bin/sh -c 'command -v sleep; command -v systemctl') == \
    "$stubs/sleep"$'\n'"$stubs/systemctl" ]] || fail "/bin/sh does not find the stubs alone"
PROGRAM_PATH=$stubs

# One instance per program directory. The first keeps running on a FIFO held open here.
e2e_serve --terminal
first=$program
printf 'mark\ndunwel\n' >&3
wait_until 10 has_line "$WORK/out" "$dunwel" || fail_showing "the first instance did not answer"
cp "$prog/settings.ini" "$WORK/settings.before"
settings_before=$(stat -c '%i %s %Y.%y' "$prog/settings.ini")
# The second gets input that never ends, and a line that would change settings.ini: it must end
# at once, by itself, silently, without reading anything.
mkfifo "$WORK/second.in"
exec 4<>"$WORK/second.in"
printf 'mark\n' >&4
status=0
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$WORK/second.in" >"$out" 2>"$err" \
    3>&- 4>&- || status=$?
exec 4>&-
expect '' "a second instance did not end at once, silently, with status 0"
[[ ! -s $err && $(stat -c '%i %s %Y.%y' "$prog/settings.ini") == "$settings_before" ]] &&
    cmp -s "$WORK/settings.before" "$prog/settings.ini" ||
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
wait_until 5 has_line "$WORK/systemctl.calls" poweroff && [[ $(cat "$WORK"/*.calls) == $'2\npoweroff' ]] ||
    fail_showing "temp.bat did not run 'sleep 2' and 'systemctl poweroff', once each"
note "ok: one instance, shutdown"

# Killed outright, the first leaves no lock behind: the next start works and finds its orders.
{
    kill -KILL "$first"
    wait "$first"
} 2>/dev/null || true
exec 3>&-
input='delete 2\ndelete 1\n'
run --terminal
expect 'Mark deleted.\nMark deleted.\n' "the start after SIGKILL did not find the orders"
echo "all command-line checks passed"
