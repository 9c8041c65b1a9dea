#!/usr/bin/env bash
# Replays every session in transcripts/*.txt through the real program, `tallowick --terminal`,
# each in a fresh copy of the program, and compares everything it wrote to standard output with
# the session as written.
#
# Usage: transcripts.sh PROGRAM_DIR [TRANSCRIPTS_DIR]
#
# A session file holds, one per line:
#   > text     a line typed (sent with a line end; "> " alone types an empty line)
#   < text|    a line the program writes to standard output, i.e. says; the "|" marks the end
#              of the text, so that trailing blanks stay visible
#   @ restart  the input ends here (the program ends as at "exit"), and the program starts
#              again in the same directory, with the settings.ini that the last run left
#   # ...      a comment; empty lines are ignored too
#   @ repeat A-B   the lines up to "@ end" stand for B-A+1 copies, with %n in the Nth copy
#                  replaced by A+N-1
# The program's answers are not tied to the command that caused them: each run's output is
# compared as a whole, so a session must not depend on the time of day or on how long a run
# takes.

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"
transcripts=${2:-$here/transcripts}

# Splits session $1 into run inputs $2.1, $2.2, ... and writes the expected output, in the
# session's own notation with "@ restart" between runs, to $2.expected. Prints the number of
# runs.
split_session() {
    local session=$1 base=$2 run=1 number=0 line from= to n body
    : >"$base.in.1"
    : >"$base.expected"
    while IFS= read -r line || [[ -n $line ]]; do
        ((++number))
        if [[ $line =~ ^@\ repeat\ ([0-9]+)-([0-9]+)$ ]]; then
            from=${BASH_REMATCH[1]} to=${BASH_REMATCH[2]} body=()
            continue
        elif [[ -n $from && $line != '@ end' ]]; then
            body+=("$line")
            continue
        elif [[ -n $from ]]; then
            for ((n = from; n <= to; ++n)); do
                for line in "${body[@]}"; do emit "${line//%n/$n}"; done
            done
            from=
            continue
        fi
        emit "$line"
    done <"$session"
    [[ -z $from ]] || fail "$session: '@ repeat' without '@ end'"
    echo "$run"
}

# Adds session line $1 to the run inputs or the expected output (for split_session).
emit() {
    case $1 in
    '> '*) printf '%s\n' "${1:2}" >>"$base.in.$run" ;;
    '>') printf '\n' >>"$base.in.$run" ;;
    '< '*'|') printf '%s\n' "$1" >>"$base.expected" ;;
    '@ restart')
        ((++run))
        : >"$base.in.$run"
        printf '%s\n' "$1" >>"$base.expected"
        ;;
    '' | '#'*) ;;
    *) fail "$session:$number: cannot read '$1' (a reply must end with '|')" ;;
    esac
}

# Writes output file $1 in the session notation, appending to $2.
as_session() {
    local line
    while IFS= read -r line || [[ -n $line ]]; do
        printf '< %s|\n' "$line"
    done <"$1" >>"$2"
    if [[ -s "$1" && $(tail -c 1 "$1" | od -An -c | tr -d ' ') != '\n' ]]; then
        printf '(the last line above has no line end)\n' >>"$2"
    fi
}

# Replays session $1; counts a failure in `failures`.
replay() {
    local session=$1 name base prog runs run status failed=0
    name=$(basename "$session" .txt)
    base="$WORK/$name"
    prog="$WORK/$name.program"
    e2e_install "$prog"
    runs=$(split_session "$session" "$base") || exit 1
    : >"$base.actual"
    for ((run = 1; run <= runs; ++run)); do
        ((run == 1)) || printf '@ restart\n' >>"$base.actual"
        status=0
        timeout 20 env PATH="$PROGRAM_PATH" "$prog/tallowick" --terminal \
            <"$base.in.$run" >"$base.out.$run" 2>"$base.err.$run" || status=$?
        as_session "$base.out.$run" "$base.actual"
        if ((status != 0)); then
            if ((status == 124)); then
                note "$name, run $run: the program did not end within 20 s of the end of its input"
            else
                note "$name, run $run: the program ended with status $status"
            fi
            show_file "its standard error" "$base.err.$run"
            failed=1
        fi
    done
    if ! cmp -s "$base.expected" "$base.actual"; then
        note "$name: the output differs from the session (- expected, + actual):"
        diff -u --label "$session" --label "actual output" "$base.expected" "$base.actual" >&2 ||
            true
        for ((run = 1; run <= runs; ++run)); do
            show_file "standard error of run $run" "$base.err.$run"
        done
        failed=1
    fi
    if ((failed == 0)); then
        note "ok: $name ($runs run(s))"
    else
        ((++failures))
    fi
}

shopt -s nullglob
sessions=("$transcripts"/*.txt)
((${#sessions[@]} > 0)) || fail "no sessions (*.txt) in $transcripts"
failures=0
for session in "${sessions[@]}"; do
    replay "$session"
done
((failures == 0)) || fail "$failures of ${#sessions[@]} session(s) did not go as written"
echo "all ${#sessions[@]} sessions went as written"
