# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the end-to-end scripts. `e2e_start PROGRAM_DIR` makes $WORK (removed, with every
# process started from it, however the script ends), a private HOME, no display or sound, and a
# copy of the program, $tallowick in $prog. Start it with `env PATH="$PROGRAM_PATH"`: stand-ins
# there note any call of the commands that act on the machine.

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit 77; }

# Skips unless every command after $1 (what to install) is on PATH.
e2e_need() {
    for t in "${@:2}"; do command -v "$t" >/dev/null || skip "$t is missing (install $1)"; done
}

E2E_PIDS=() E2E_CLEANUPS=() # the exit trap kills the first, then runs the second
e2e_cleanup() {
    local status=$? fn proc cmdline pid
    set +e
    ((${#E2E_PIDS[@]} == 0)) || { kill -KILL "${E2E_PIDS[@]}"; wait "${E2E_PIDS[@]}"; } 2>/dev/null
    for fn in "${E2E_CLEANUPS[@]}"; do "$fn"; done
    [[ -n ${WORK:-} && -d $WORK ]] || exit "$status"
    # The PulseAudio of e2e_record_null_sink, by the id it wrote.
    pid=$(cat "$WORK/run/pulse/pid" 2>/dev/null) && [[ $pid =~ ^[0-9]+$ ]] &&
        kill -TERM "$pid" 2>/dev/null && { wait_until 3 gone "$pid" || kill -KILL "$pid"; }
    # Whatever still runs from $WORK (a copy of the program, a detached temp.bat), by its id.
    for proc in /proc/[0-9]*; do
        { cmdline=$(<"$proc/cmdline"); } 2>/dev/null || continue
        [[ $proc != "/proc/$$" && $cmdline == *"$WORK/"* ]] && kill -9 "${proc#/proc/}" 2>/dev/null
    done
    if [[ -e $WORK/guard.log ]]; then
        show_file "FAIL: the program tried to act on the machine" "$WORK/guard.log"
        status=1
    fi
    rm -rf -- "$WORK"
    exit "$status"
}

e2e_start() {
    BUILT_DIR=$(cd "${1:?usage: $0 PROGRAM_DIR}" && pwd) || fail "no program directory '$1'"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tallowick-e2e.XXXXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 129' HUP && trap 'exit 130' INT && trap 'exit 143' TERM
    mkdir -m 700 "$WORK/home" "$WORK/run" "$WORK/guard"
    export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" LC_ALL=C.UTF-8
    # Nor the user's session bus: a test that wants one starts its own.
    [[ ${TALLOWICK_E2E_PRIVATE_BUS:-} == 1 ]] || unset DBUS_SESSION_BUS_ADDRESS
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    # No sound server (nor one started on demand), no ALSA device, a silent SDL driver.
    : >"$WORK/empty-alsa.conf"
    export PULSE_SERVER="unix:$WORK/run/no-sound-server" ALSA_CONFIG_PATH="$WORK/empty-alsa.conf"
    export SDL_AUDIODRIVER=dummy
    local name
    for name in sleep systemctl shutdown poweroff halt reboot loginctl; do
        printf '#!/bin/sh\necho "$0 $*" >>%q\nexit 1\n' "$WORK/guard.log" >"$WORK/guard/$name"
        chmod 755 "$WORK/guard/$name"
    done
    # shellcheck disable=SC2034  # used by the scripts that source this file
    PROGRAM_PATH="$WORK/guard" prog="$WORK/program" tallowick="$WORK/program/tallowick"
    e2e_install "$prog"
}

# Starts "$tallowick" with the arguments given, as E2E_AS says (`setpriv ...`), its input held
# open on descriptor 3 (`printf ... >&3`), output in $WORK/out and $WORK/err; its id goes to
# `program`.
E2E_AS=()
e2e_serve() {
    rm -f "$WORK/in" && mkfifo "$WORK/in"
    "${E2E_AS[@]}" env PATH="$PROGRAM_PATH" "$tallowick" "$@" <"$WORK/in" >"$WORK/out" 2>"$WORK/err" &
    program=$! && E2E_PIDS+=("$!")
    exec 3>"$WORK/in"
}

# Shows $WORK/out, $WORK/err and the files in E2E_SHOW (heading, file, ...); fails with $1.
E2E_SHOW=()
fail_showing() {
    local i shown=("standard output" "$WORK/out" "standard error" "$WORK/err" "${E2E_SHOW[@]}")
    for ((i = 0; i < ${#shown[@]}; i += 2)); do show_file "${shown[@]:i:2}"; done
    fail "$1"
}

# Copies the command, the program, its helper and its sounds into the new directory $1.
e2e_install() {
    local f
    mkdir -p "$1"
    for f in tallowick tallowick-app tallowick-wake chime.wav windup.wav deepbell.wav alert.wav; do
        cp -- "$BUILT_DIR/$f" "$1/" 2>/dev/null || fail "no $f in $BUILT_DIR (is it built?)"
    done
}

# Polls every 20 ms, at most $1 (whole) seconds, until the command after it succeeds.
wait_until() {
    local deadline=$((${EPOCHREALTIME/./} + $1 * 1000000))
    until "${@:2}"; do
        ((${EPOCHREALTIME/./} <= deadline)) || return 1
        sleep 0.02
    done
}

gone() { ! kill -0 "$1" 2>/dev/null; }
has_line() { [[ -f $1 ]] && grep -qxF -- "$2" "$1"; }

# Prints file $2 indented under the heading $1, or says it is empty.
show_file() {
    { [[ -s $2 ]] && echo "$1:" && sed 's/^/    /' "$2" || echo "$1: (empty)"; } >&2
}

# Starts a private sound server whose only sink is a null sink, for every program started from
# here on, and records its monitor into file $2 (16-bit mono at rate $1); the recorder's id goes
# to E2E_RECORDER, and the moment the server first answered to E2E_SOUND_BACK. The server is
# PulseAudio, or with $3 "pipewire" PipeWire with pipewire-pulse and WirePlumber (their ids in
# E2E_PIPEWIRE).
e2e_record_null_sink() {
    local socket="$XDG_RUNTIME_DIR/pulse/native" p
    if [[ ${3:-} == pipewire ]]; then
        # WirePlumber needs a session bus: one of its own, which the program does not see.
        [[ -s $WORK/pw-bus ]] || { dbus-daemon --config-file="$here/bus-session.conf" \
            --nofork --print-address=4 4>"$WORK/pw-bus" & E2E_PIDS+=("$!") &&
            wait_until 10 test -s "$WORK/pw-bus"; }
        E2E_PIPEWIRE=() && rm -f "$XDG_RUNTIME_DIR/pipewire-0"
        for p in pipewire wireplumber pipewire-pulse; do
            DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/pw-bus") "$p" >>"$WORK/sound.log" 2>&1 &
            E2E_PIDS+=("$!") E2E_PIPEWIRE+=("$!")
            wait_until 5 test -S "$XDG_RUNTIME_DIR/pipewire-0" || break
        done
    else
        timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
            --use-pid-file=yes --log-target="file:$WORK/sound.log" \
            --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
            --load="module-null-sink sink_name=nullsink rate=44100" --load=module-always-sink
    fi && export PULSE_SERVER="unix:$socket" && wait_until 10 pactl info >/dev/null 2>&1 ||
        { show_file "the sound server's log" "$WORK/sound.log"; return 1; }
    E2E_SOUND_BACK=$EPOCHREALTIME
    [[ ${3:-} != pipewire ]] || pactl load-module module-null-sink sink_name=nullsink rate=44100 \
        >/dev/null
    wait_until 5 pactl set-default-sink nullsink || return 1
    # A silent stream keeps the sink running with a short latency: otherwise it works in blocks
    # of up to 2 s, which would blur when sounds start and end.
    pacat --latency-msec=20 /dev/zero & E2E_PIDS+=("$!")
    parec -d nullsink.monitor --format=s16le --rate="$1" --channels=1 --latency-msec=20 >"$2" &
    E2E_RECORDER=$! && E2E_PIDS+=("$!")
    wait_until 10 test -s "$2" || fail "nothing is recorded from the null sink"
}

# Starts a private Xvfb on a free display number and exports DISPLAY.
e2e_display() {
    Xvfb -displayfd 4 -screen 0 640x480x24 -nolisten tcp 4>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    E2E_PIDS+=("$!")
    wait_until 10 test -s "$WORK/display" || { show_file Xvfb "$WORK/xvfb.log"; fail "no Xvfb"; }
    export DISPLAY=":$(<"$WORK/display")"
    # libxkbcommon-x11 hands strndup() a name that is not NUL-terminated: proper C, but what
    # AddressSanitizer's strict string checks report; they stay on everywhere else.
    [[ -z ${ASAN_OPTIONS:-} ]] || export ASAN_OPTIONS="${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}"
}

# Starts the accessibility bus on the script's own session bus, raises the flag that a screen
# reader runs (kept in the launcher's memory: a private bus may start no dconf), and switches
# accessibility on for Qt programs started from here on.
e2e_accessibility_bus() {
    GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher --launch-immediately \
        >"$WORK/atspi.log" 2>&1 & E2E_PIDS+=("$!")
    wait_until 10 e2e_a11y_status IsEnabled ||
        { show_file at-spi "$WORK/atspi.log"; fail "no accessibility bus"; }
    e2e_a11y_status ScreenReaderEnabled || fail "cannot raise the screen reader flag"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}

e2e_a11y_status() {
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.freedesktop.DBus.Properties.Set org.a11y.Status "$1" '<true>' >/dev/null 2>&1
}

# Starts a private speech-dispatcher speaking with eSpeak NG to the PulseAudio of
# e2e_record_null_sink, and exports SPEECHD_ADDRESS for its clients.
e2e_speech_dispatcher() {
    cp -r /etc/speech-dispatcher "$WORK/speechd-conf"
    printf '%s\n' 'AudioOutputMethod "pulse"' 'DefaultModule espeak-ng' \
        'AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"' >>"$WORK/speechd-conf/speechd.conf"
    mkdir "$WORK/speechd-log"
    speech-dispatcher -s -t 0 -c unix_socket -S "$WORK/speechd.sock" -C "$WORK/speechd-conf" \
        -L "$WORK/speechd-log" -P "$WORK/speechd.pid" >/dev/null 2>&1 & E2E_PIDS+=("$!")
    wait_until 10 test -S "$WORK/speechd.sock" || fail "speech-dispatcher did not start"
    export SPEECHD_ADDRESS="unix_socket:$WORK/speechd.sock"
}
