#!/usr/bin/env bash
# The program as started from a shell: its options and exit statuses, the start without a
# display, line ends, and that only one instance runs per program directory.
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

# Runs the program with the arguments given and standard input from $input, at most 10 s;
# sets `status` and leaves standard output and error in $out and $err.
input=/dev/null
run() {
    status=0
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" "$@" <"$input" >"$out" 2>"$err" || status=$?
    ((status != 124)) || fail "tallowick $* did not end within 10 s"
}

# --help and --version: text on standard output alone, status 0, no settings.ini.
run --help
((status == 0)) && [[ ! -s $err ]] && grep -q -- '--terminal' "$out" ||
    fail_showing "tallowick --help did not tell of --terminal, alone on standard output, status 0"
run --version
((status == 0)) && [[ ! -s $err ]] && grep -qE '^tallowick [0-9]+(\.[0-9]+)+$' "$out" &&
    (($(wc -l <"$out") == 1)) || fail_showing "tallowick --version: not one line 'tallowick VERSION'"
[[ ! -e "$prog/settings.ini" ]] || fail "--help or --version created settings.ini"
note "ok: --help and --version"

# An unknown option: status 2, a message naming it on standard error, nothing on standard
# output, and the program does not start (it would wait for input that never ends here).
for args in --bogus -x '--terminal --bogus'; do
    # shellcheck disable=SC2086  # split on purpose
    run $args
    ((status == 2)) && [[ ! -s $out ]] && grep -qF -- "${args##* }" "$err" ||
        fail_showing "tallowick $args: not status 2 and a message naming the option"
done
note "ok: unknown options"

# Without any display, plain `tallowick` starts in the terminal and says so on standard error,
# in one line.
printf 'dunwel\n' >"$WORK/dunwel.in"
input="$WORK/dunwel.in"
run
((status == 0)) || fail_showing "tallowick without a display ended with status $status, not 0"
printf '%s\n' "$dunwel" | cmp -s - "$out" ||
    fail_showing "tallowick without a display did not answer 'dunwel' on standard output, alone"
(($(grep -ci 'terminal' "$err") == 1)) ||
    fail_showing "tallowick without a display did not say in one line that it uses the terminal"
grep -i 'terminal' "$err" | grep -qiE 'display' ||
    fail_showing "the line about the terminal does not say there is no display"
note "ok: start without a display"

# Every diagnostic names the program once, at the start of its line.
if grep -q '^tallowick: tallowick:' "$err"; then
    fail_showing "a diagnostic on standard error names the program twice"
fi
if grep -qv '^tallowick: ' "$err"; then
    fail_showing "a line on standard error does not start with 'tallowick: '"
fi
note "ok: diagnostics"

# A CR before the LF is dropped; a last line without a line end still counts; the output is
# the same whether standard output is a file or a pipe.
printf 'dunwel\r\norders\r\nstop' >"$WORK/crlf.in"
input="$WORK/crlf.in"
status=0
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$input" 2>"$err" | cat >"$out" ||
    status=$?
((status == 0)) || fail_showing "tallowick --terminal with CR LF line ends failed ($status)"
printf '%s\nThere are no standing orders\n\n' "$dunwel" | cmp -s - "$out" ||
    fail_showing "CR LF line ends or the last line without a line end were not read as typed"
note "ok: line ends"

# One instance per program directory. The first keeps running on a FIFO held open here.
mkfifo "$WORK/second.in"
e2e_serve --terminal
first=$program
printf 'mark\ndunwel\n' >&3
wait_until 10 has_line "$WORK/out" "$dunwel" || fail_showing "the first instance did not answer"
[[ -s "$prog/settings.ini" ]] || fail "the first instance did not write settings.ini"
settings_before=$(stat -c '%i %s %Y.%y' "$prog/settings.ini")
cp "$prog/settings.ini" "$WORK/settings.before"

# The second gets input that never ends, and a line that would change settings.ini: it must end
# at once, by itself, silently, without reading anything.
exec 4<>"$WORK/second.in"
printf 'mark\n' >&4
status=0
timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" --terminal <"$WORK/second.in" >"$out" 2>"$err" \
    3>&- 4>&- || status=$?
exec 4>&-
((status != 124)) || fail "a second instance did not end; it ran for 10 s beside the first"
((status == 0)) || fail_showing "a second instance ended with status $status, not 0"
[[ ! -s $out && ! -s $err ]] || fail_showing "a second instance wrote something"
if ! cmp -s "$WORK/settings.before" "$prog/settings.ini" ||
    [[ $(stat -c '%i %s %Y.%y' "$prog/settings.ini") != "$settings_before" ]]; then
    fail "a second instance touched settings.ini"
fi
kill -0 "$first" 2>/dev/null || fail "the first instance ended when the second started"
printf 'mark\n' >&3
wait_until 10 has_line "$WORK/out" "Mark number 2 set" ||
    fail_showing "the first instance stopped answering after the second one started"
note "ok: a second instance ends by itself, silently, leaving settings.ini alone"

# Killed outright, the first leaves no lock behind: the next start works and finds its orders.
{
    kill -KILL "$first"
    wait "$first"
} 2>/dev/null || true
exec 3>&-
printf 'delete 2\ndelete 1\n' >"$WORK/after.in"
input="$WORK/after.in"
run --terminal
((status == 0)) || fail_showing "the start after SIGKILL ended with status $status"
printf 'Mark deleted.\nMark deleted.\n' | cmp -s - "$out" ||
    fail_showing "the start after SIGKILL did not run with the orders of the killed one"
note "ok: no stale lock after SIGKILL"

echo "all command-line checks passed"
