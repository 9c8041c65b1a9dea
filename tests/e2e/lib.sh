# shellcheck shell=bash
# Shared by the end-to-end test scripts; sourced, never run on its own.
#
# Every test runs a fresh copy of the built program (tallowick and its wave files) in a
# temporary directory, because the program keeps settings.ini, temp.bat and its instance lock
# beside its own executable. The temporary directory and every process started from it are
# removed when the script ends, however it ends.
#
# After `e2e_start "$@"`:
#   BUILT_DIR     the directory of the built program (the script's first argument)
#   WORK          the temporary directory of this run
#   prog          a fresh copy of the program's directory, $WORK/program
#   tallowick     the program in it, "$prog/tallowick"
#   PROGRAM_PATH  the PATH to start the program with: env PATH="$PROGRAM_PATH" "$tallowick"
# and the program started from here on is mute (e2e_mute) and finds no display.

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit 77; }
note() { echo "$*" >&2; }

# Skips the test unless every command after $1 is on PATH; $1 says what to install.
e2e_need() {
    local hint=$1 tool
    shift
    for tool; do
        command -v "$tool" >/dev/null || skip "$tool is missing (install $hint)"
    done
}

# Sets `py` to the system's Python (Debian's python3-* modules belong to it, not to another
# python3 first on PATH); skips with message $2 unless it runs the import statement $1.
e2e_python() {
    py=/usr/bin/python3
    [[ -x $py ]] || py=python3
    "$py" -c "$1" 2>/dev/null || skip "$2"
}

# Commands run by the exit trap, in order, after it killed the background processes and before
# the temporary directory goes.
E2E_CLEANUPS=()
# Background processes started by the script; killed by the exit trap.
E2E_PIDS=()

e2e_cleanup() {
    local status=$? fn
    set +e
    if ((${#E2E_PIDS[@]})); then
        kill -KILL "${E2E_PIDS[@]}" 2>/dev/null
        wait "${E2E_PIDS[@]}" 2>/dev/null
    fi
    for fn in "${E2E_CLEANUPS[@]}"; do "$fn"; done
    if [[ -n "${WORK:-}" && -d "$WORK" ]]; then
        e2e_kill_strays
        if [[ -e "$WORK/guard.log" ]]; then
            echo "FAIL: the program tried to run a command that acts on the machine:" >&2
            sed 's/^/    /' "$WORK/guard.log" >&2
            status=1
        fi
        rm -rf -- "$WORK"
    fi
    exit "$status"
}

# Kills, one by one by process id, whatever still runs from the temporary directory: a copy of
# the program, or a script it started detached (such as temp.bat) that is not our child.
e2e_kill_strays() {
    local proc pid cmdline
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        [[ $pid != "$$" && $pid != "$BASHPID" ]] || continue
        { cmdline=$(<"$proc/cmdline"); } 2>/dev/null || continue
        if [[ $cmdline == *"$WORK/"* ]]; then
            kill -KILL "$pid" 2>/dev/null
        fi
    done
}

e2e_start() {
    if (($# < 1)); then
        echo "usage: $0 PROGRAM_DIR   (the directory of the built tallowick)" >&2
        exit 2
    fi
    BUILT_DIR=$(cd "$1" 2>/dev/null && pwd) || fail "no program directory '$1'"
    [[ -x "$BUILT_DIR/tallowick" && -x "$BUILT_DIR/tallowick-app" ]] ||
        fail "no executables tallowick and tallowick-app in $BUILT_DIR (are they built?)"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tallowick-e2e.XXXXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM

    # A private home and runtime directory, so that nothing the program or its libraries write
    # lands in the user's own, and nothing there changes what the test sees.
    mkdir -m 700 "$WORK/home" "$WORK/run"
    export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run"
    # Nor the user's session bus: a test that wants one starts its own.
    [[ ${TALLOWICK_E2E_PRIVATE_BUS:-} == 1 ]] || unset DBUS_SESSION_BUS_ADDRESS
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME
    export LC_ALL=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    e2e_mute

    # The PATH that the program gets: only stand-ins that refuse to act on the machine and note
    # that they were called, so that no mistake in the program (or a test) can power anything
    # off. The program itself needs no PATH: it is always started by its full path.
    mkdir "$WORK/guard"
    local name
    for name in sleep systemctl shutdown poweroff halt reboot loginctl; do
        cat >"$WORK/guard/$name" <<EOF
#!/bin/sh
printf '%s\n' "\$0 \$*" >>'$WORK/guard.log'
exit 1
EOF
        chmod 755 "$WORK/guard/$name"
    done
    # shellcheck disable=SC2034  # used by the scripts that source this file
    PROGRAM_PATH="$WORK/guard" prog="$WORK/program" tallowick="$WORK/program/tallowick"
    e2e_install "$prog"
}

# Starts "$tallowick" with the arguments given in the background, on input that this script
# holds open on descriptor 3 (type with `printf ... >&3`), writing to $WORK/out and $WORK/err.
# Its process id goes to `program`.
e2e_serve() {
    mkfifo "$WORK/in"
    env PATH="$PROGRAM_PATH" "$tallowick" "$@" <"$WORK/in" >"$WORK/out" 2>"$WORK/err" &
    program=$!
    E2E_PIDS+=("$program")
    exec 3>"$WORK/in"
}

# Succeeds when the program has written at least $1 lines to $WORK/out.
output_lines() {
    (($(wc -l <"$WORK/out") >= $1))
}

# Shows $WORK/out, $WORK/err and the files named in E2E_SHOW (heading, file, heading, ...), then
# fails with message $1.
E2E_SHOW=()
fail_showing() {
    local i
    show_file "standard output" "$WORK/out"
    show_file "standard error" "$WORK/err"
    for ((i = 0; i < ${#E2E_SHOW[@]}; i += 2)); do
        show_file "${E2E_SHOW[i]}" "${E2E_SHOW[i + 1]}"
    done
    fail "$1"
}

# Makes every program started from here on mute: no sound server (nor one started on demand)
# and no ALSA device for the voice, a silent SDL driver for the alarms. The program then reports
# the missing voice on standard error and carries on; what it would say is still written to
# standard output.
e2e_mute() {
    export PULSE_SERVER="unix:$WORK/run/no-sound-server"
    : >"$WORK/empty-alsa.conf"
    export ALSA_CONFIG_PATH="$WORK/empty-alsa.conf"
    export SDL_AUDIODRIVER=dummy
}

# Copies the command, the program and its sounds into the new directory $1 and prints nothing.
e2e_install() {
    local dest=$1 f
    mkdir -p "$dest"
    cp -- "$BUILT_DIR/tallowick" "$BUILT_DIR/tallowick-app" "$dest/"
    for f in chime.wav windup.wav deepbell.wav alert.wav; do
        [[ -f "$BUILT_DIR/$f" ]] || fail "$f is missing from $BUILT_DIR (are the sounds built?)"
        cp -- "$BUILT_DIR/$f" "$dest/"
    done
}

# Polls every 20 ms, for at most $1 seconds (a whole number), until the command after it
# succeeds; returns 1 when it never did.
wait_until() {
    local deadline=$((${EPOCHREALTIME/./} + $1 * 1000000))
    shift
    until "$@"; do
        ((${EPOCHREALTIME/./} <= deadline)) || return 1
        sleep 0.02
    done
}

# Succeeds when process $1 no longer runs.
gone() {
    ! kill -0 "$1" 2>/dev/null
}

# Succeeds when file $1 holds a line that is exactly $2.
has_line() {
    [[ -f "$1" ]] && grep -qxF -- "$2" "$1"
}

# Prints file $2 indented under the heading $1, or says it is empty.
show_file() {
    if [[ -s "$2" ]]; then
        echo "$1:" >&2
        sed 's/^/    /' "$2" >&2
    else
        echo "$1: (empty)" >&2
    fi
}

# Starts a private PulseAudio server whose only sink is a null sink, makes it the one every
# program started from here on plays to, and records that sink's monitor into file $2 as 16-bit
# mono at rate $1 from now on. The recorder's process id is left in E2E_RECORDER. Its socket,
# state and pid file are in this run's runtime directory.
e2e_record_null_sink() {
    local rate=$1 recording=$2
    E2E_RECORDING=$2
    E2E_PULSE_DIR="$XDG_RUNTIME_DIR/pulse"
    local socket="$E2E_PULSE_DIR/native"
    E2E_CLEANUPS+=(e2e_stop_pulse)
    timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
        --use-pid-file=yes --log-target="file:$WORK/pulse.log" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
        --load="module-null-sink sink_name=nullsink rate=44100" \
        --load=module-always-sink ||
        { show_file "pulseaudio's log" "$WORK/pulse.log"; fail "cannot start pulseaudio"; }
    export PULSE_SERVER="unix:$socket"
    wait_until 10 pactl info >/dev/null 2>&1 ||
        { show_file "pulseaudio's log" "$WORK/pulse.log"; fail "pulseaudio does not answer"; }
    pactl set-default-sink nullsink

    # A silent stream keeps the sink running with a short latency: otherwise the sink works in
    # blocks of up to 2 s, which would blur when sounds start and end.
    pacat --latency-msec=20 /dev/zero &
    E2E_PIDS+=("$!")
    parec -d nullsink.monitor --format=s16le --rate="$rate" --channels=1 --latency-msec=20 \
        >"$recording" &
    E2E_PIDS+=("$!")
    E2E_RECORDER=$!
    wait_until 10 test -s "$recording" || fail "nothing is recorded from the null sink"
}

# Types line $1 to the program of e2e_serve and puts the position of that moment in the
# recording of e2e_record_null_sink, in samples, in the variable named $2; the wall clock of
# that moment goes to `typed_at`. The size is taken first: starting `stat` can take a tenth of
# a second on a busy machine, and the position must not come after the line.
type_line() {
    local size
    size=$(stat -c %s "$E2E_RECORDING")
    typed_at=$EPOCHREALTIME
    printf '%s\n' "$1" >&3
    printf -v "$2" '%s' $((size / 2))
}

# Ends the recording of e2e_record_null_sink.
e2e_stop_recording() {
    kill -TERM "$E2E_RECORDER"
    wait "$E2E_RECORDER" 2>/dev/null || true
}

e2e_stop_pulse() {
    local pid
    [[ -f "$E2E_PULSE_DIR/pid" ]] || return 0
    pid=$(<"$E2E_PULSE_DIR/pid")
    [[ $pid =~ ^[0-9]+$ ]] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    wait_until 3 gone "$pid" || kill -KILL "$pid" 2>/dev/null
}

# Starts a private Xvfb on a display number it finds free, and exports DISPLAY.
e2e_display() {
    Xvfb -displayfd 4 -screen 0 640x480x24 -nolisten tcp 4>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    E2E_PIDS+=("$!")
    wait_until 10 test -s "$WORK/display" ||
        { show_file "Xvfb's log" "$WORK/xvfb.log"; fail "Xvfb did not start"; }
    export DISPLAY=":$(<"$WORK/display")"
    # libxkbcommon-x11 hands strndup() a name that is not NUL-terminated, which is proper C but
    # what AddressSanitizer's strict string checks report; they stay on everywhere else.
    [[ -z ${ASAN_OPTIONS:-} ]] || export ASAN_OPTIONS="${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}"
}

# Starts the accessibility bus on the session bus (which must be the script's own: run it under
# dbus-run-session), raises the flag that says a screen reader runs, and switches accessibility
# on for Qt programs started from here on.
e2e_accessibility_bus() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/atspi.log" 2>&1 &
    E2E_PIDS+=("$!")
    wait_until 10 e2e_a11y_status IsEnabled ||
        { show_file "at-spi's log" "$WORK/atspi.log"; fail "no accessibility bus"; }
    e2e_a11y_status ScreenReaderEnabled || fail "cannot raise the screen reader flag"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}

e2e_a11y_status() {
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.freedesktop.DBus.Properties.Set org.a11y.Status "$1" '<true>' >/dev/null 2>&1
}

# Starts a private speech-dispatcher on a socket of its own, speaking with its eSpeak NG module
# to the PulseAudio server of e2e_record_null_sink, and exports SPEECHD_ADDRESS for its clients.
e2e_speech_dispatcher() {
    cp -r /etc/speech-dispatcher "$WORK/speechd-conf"
    printf '%s\n' 'AudioOutputMethod "pulse"' \
        'AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"' 'DefaultModule espeak-ng' \
        >>"$WORK/speechd-conf/speechd.conf"
    mkdir "$WORK/speechd-log"
    speech-dispatcher -s -t 0 -c unix_socket -S "$WORK/speechd.sock" -C "$WORK/speechd-conf" \
        -L "$WORK/speechd-log" -P "$WORK/speechd.pid" >/dev/null 2>&1 &
    E2E_PIDS+=("$!")
    wait_until 10 test -S "$WORK/speechd.sock" || fail "speech-dispatcher did not start"
    export SPEECHD_ADDRESS="unix_socket:$WORK/speechd.sock"
}
