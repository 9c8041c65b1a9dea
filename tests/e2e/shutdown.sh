#!/usr/bin/env bash
# "shutdown" end to end: the program writes temp.bat beside itself and starts it detached with
# /bin/sh, which looks up `sleep` and `systemctl` in the program's PATH.
#
# The machine is never touched: the program runs with PATH set to nothing but a directory of
# stub `sleep` and `systemctl` scripts that only note their arguments. Before the program
# starts, the test makes sure that /bin/sh finds exactly these stubs with that PATH, and it
# gives up otherwise.
#
# Usage: shutdown.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$@"

stubs="$WORK/stubs"
calls="$WORK/calls"
mkdir "$stubs" "$calls"

# The stubs use nothing but shell built-ins, since PATH leads only to them.
for name in sleep systemctl; do
    cat >"$stubs/$name" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>'$calls/$name'
exit 0
EOF
    chmod 755 "$stubs/$name"
done

# Safety: with PATH set to the stubs alone, /bin/sh (as temp.bat is run) must find both stubs,
# and nothing built in, under these names.
found=$(env -i PATH="$stubs" /bin/sh -c 'command -v sleep; command -v systemctl') ||
    fail "cannot check what /bin/sh finds with PATH=$stubs"
[[ $found == "$stubs/sleep"$'\n'"$stubs/systemctl" ]] ||
    fail "with PATH=$stubs, /bin/sh does not find exactly the stubs (it finds: $found); not running"

# The program runs with a clean environment whose PATH is the stub directory alone, on input
# kept open here, so that each shutdown is checked before the next one is typed.
mkfifo "$WORK/in"
env -i PATH="$stubs" HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" LC_ALL=C.UTF-8 \
    PULSE_SERVER="$PULSE_SERVER" ALSA_CONFIG_PATH="$ALSA_CONFIG_PATH" SDL_AUDIODRIVER=dummy \
    "$prog/tallowick" --terminal <"$WORK/in" >"$WORK/out" 2>"$WORK/err" &
E2E_PIDS+=("$!")
exec 3>"$WORK/in"

E2E_SHOW=("sleep was called with" "$calls/sleep" "systemctl was called with" "$calls/systemctl"
    temp.bat "$prog/temp.bat")

systemctl_calls_at_least() {
    [[ -f "$calls/systemctl" ]] && (($(wc -l <"$calls/systemctl") >= $1))
}

# Types shutdown command $1; expects reply $2, and sleep to be called with $3 as call number $4
# and then systemctl with "poweroff".
check_shutdown() {
    local typed=$1 reply=$2 seconds=$3 n=$4
    printf '%s\n' "$typed" >&3
    wait_until 10 has_line "$WORK/out" "$reply" ||
        fail_showing "'$typed' was not answered with '$reply' within 10 s"
    # The script runs detached: wait (at most 5 s) until both stubs have run.
    wait_until 5 systemctl_calls_at_least "$n" ||
        fail_showing "after '$typed', temp.bat did not call sleep and systemctl within 5 s"
    [[ $(sed -n "${n}p" "$calls/sleep") == "$seconds" &&
        $(sed -n "${n}p" "$calls/systemctl") == poweroff ]] ||
        fail_showing "after '$typed', not 'sleep $seconds' and 'systemctl poweroff'"
    printf 'sleep %s && systemctl poweroff\n' "$seconds" | cmp -s - "$prog/temp.bat" ||
        fail_showing "after '$typed', temp.bat is not 'sleep $seconds && systemctl poweroff'"
    [[ $(stat -c %a "$prog/temp.bat") == 600 ]] ||
        fail "temp.bat has mode $(stat -c %a "$prog/temp.bat"), not 600"
    note "ok: '$typed': '$reply', sleep $seconds, systemctl poweroff"
}

check_shutdown 'shutdown 2 h 10 m' 'Shutdown will occur in  2  hours  10  minutes ' 7800 1
# A fraction of a second is rounded up: the computer never goes down before the time asked.
check_shutdown 'shutdown 1.5 s' 'Shutdown will occur in  1.5  seconds ' 2 2

# Nothing else was called, and the program still answers.
printf 'dunwel\n' >&3
wait_until 10 has_line "$WORK/out" 'Yes, Dunwel is the man! ha ha ha' ||
    fail_showing "the program stopped answering after the shutdowns"
(($(wc -l <"$calls/sleep") == 2 && $(wc -l <"$calls/systemctl") == 2)) ||
    fail_showing "sleep or systemctl was called more often than the two shutdowns typed"
exec 3>&-
echo "all shutdown checks passed"
