#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a user hears on a private PulseAudio null sink: 1. "help" speaks until "stop"; 2. "in 1 s"
# rings the chime (C6, then G6) from the next second on, once a second until "stop"; 3. "stop"
# cuts off a user's own 10 s sound at once; 4. through speech-dispatcher, a listing of three
# marks queues its three sentences, and in the window a key cuts off the help page; 5. the ring
# and the voice come back after the sound server restarts. Times are samples of the recording,
# noted as each line is typed.
# Usage: audio.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_need "pulseaudio, pulseaudio-utils, python3, speech-dispatcher, xvfb, xdotool" \
    pulseaudio pactl pacat parec python3 speech-dispatcher Xvfb xdotool
[[ -d /etc/speech-dispatcher && -x /usr/lib/speech-dispatcher-modules/sd_espeak-ng ]] ||
    skip "speech-dispatcher's eSpeak NG module is missing (install speech-dispatcher-espeak-ng)"
e2e_start "$@"
unset SDL_AUDIODRIVER AUDIODEV PULSE_SINK PULSE_PROP

rate=16000 recording="$WORK/recording.raw" # 16-bit mono
e2e_record_null_sink "$rate" "$recording" || fail "pulseaudio does not answer"
e2e_serve --terminal
output_lines() { (($(wc -l <"$WORK/out") >= $1)); }
# Types line $1 (in the window: keys $1, "\r" for Enter), the recording's size then in samples
# going to variable $2 and the wall clock to `typed_at`; the size first: `stat` can take 0.1 s.
type_line() {
    local size
    size=$(stat -c %s "$recording")
    typed_at=$EPOCHREALTIME
    if ((in_window)); then xdotool type "$1"; else printf '%s\n' "$1" >&3; fi
    printf -v "$2" '%s' $((size / 2))
}

# Where lines were typed, in samples of the recording (see type_line).
declare help_at help_stop_at chime_set_at chime_stop_at long_set_at long_stop_at typed_at _ignored
declare orders_at sd_help_at key_at time_at in_window=0

# Returns when the wall clock is between $1 and $2 ms into a second.
wait_for_ms_in_second() {
    local ms=-1
    until ((ms >= $1 && ms < $2)); do sleep 0.01 && ms=$((10#${EPOCHREALTIME#*.} / 1000)); done
}

# The program is up, with its voice, once it answers.
type_line stop _ignored
wait_until 10 output_lines 1 || fail_showing "the program did not answer within 10 s"
! grep -qi 'speech is off\|not be spoken\|not be heard' "$WORK/err" ||
    fail_showing "the program found no voice or no sound on the PulseAudio server"

# 1. The first help page, for 8 seconds.
type_line help help_at
wait_until 5 output_lines 2 || fail_showing "'help' was not answered"
sleep 8
type_line stop help_stop_at

# 2. The chime. "in 1 s" is typed early in a second: the next second, where the first ring
#    belongs, is most of a second away; "stop" about 0.3 s into one: the last ring has surely
#    started and the next is 0.7 s away.
sleep 1
wait_for_ms_in_second 50 200
type_line $'in 1 s\nstop' chime_set_at # at once: the voice starts within 10 ms
set_in_second=${typed_at#*.}
wait_until 5 output_lines 4 || fail_showing "'in 1 s' was not answered"
sleep 3.5
wait_for_ms_in_second 250 400
type_line stop chime_stop_at
sleep 2

# 3. A 10 s tone of 440 Hz as the sound of a new alarm; "stop" 1.3 s after it began ringing.
python3 -c 'import array, math, sys, wave
w = wave.open(sys.argv[1], "wb")
w.setnchannels(1), w.setsampwidth(2), w.setframerate(44100)
w.writeframes(array.array("h", (int(8000 * math.sin(2 * math.pi * 440 * i / 44100))
                                for i in range(441000))))' "$prog/long.wav"
wait_for_ms_in_second 50 200
type_line 'in 1 s' long_set_at
type_line 'alarm 1 is long.wav' _ignored
type_line stop _ignored
wait_until 5 output_lines 8 || fail_showing "'alarm 1 is long.wav' was not answered"
sleep 1
wait_for_ms_in_second 250 400
type_line stop long_stop_at
sleep 1.5
type_line exit _ignored
wait_until 5 gone "$program" || fail_showing "'exit' did not end the program"

# 4. Through speech-dispatcher, in the window.
e2e_speech_dispatcher
e2e_display && e2e_serve --voice=speech-dispatcher && in_window=1
E2E_SHOW=("speech-dispatcher's log" "$WORK/speechd-log/speech-dispatcher.log")
wait_until 15 xdotool search --onlyvisible --name Tallowick windowfocus --sync >/dev/null &&
    type_line $'mark\rmark\rmark\r' _ignored
marks() { [[ $(head -n1 "$prog/settings.ini" 2>/dev/null | tr -d ' \r') == 3 ]]; }
wait_until 10 marks || fail_showing "the window did not show or save three marks within 10 s"
[[ ! -s "$WORK/err" ]] || fail_showing "the program did not speak through speech-dispatcher"
sleep 6
type_line $'orders\r' orders_at && sleep 12
type_line $'help\r' sd_help_at && sleep 2
type_line x key_at && sleep 2
xdotool key BackSpace && type_line $'exit\r' _ignored && in_window=0
wait_until 5 gone "$program" || fail_showing "'exit' did not end the program"
{ kill -TERM "$E2E_RECORDER" && wait "$E2E_RECORDER"; } 2>/dev/null || true # the recording ends

# 5. The sound server is killed 3 s into a ring of "in 1 s" and started again 5 s later, as
#    PulseAudio, then PipeWire where its programs start here. The program says once that the
#    sound does not work and once that it works again, the ring is heard within 2 s of the
#    server's answer, and a spoken reply after it. Recorded anew from the server's return.
restarts=() # per server: the recording, when it began after the server answered, "time" typed
restart_while_ringing() { # $1: the server (see e2e_record_null_sink), $2: its ids
    local back recording="$WORK/$1.raw" # type_line's
    e2e_serve --terminal --voice=espeak && printf 'in 1 s\n' >&3 && sleep 4
    kill -KILL $2 && sleep 5
    e2e_record_null_sink "$rate" "$recording" "$1" || return 1
    sleep 3 && printf 'stop\n' >&3 && sleep 0.5 && type_line time time_at && sleep 3
    # Sample 0 was recorded at most $back s after the server answered (the samples in the file
    # when "time" was typed were recorded by then): about 2 s, as a new null sink plays nothing
    # of a new stream before its first block of 2 s has run out.
    back=$(python3 -c "print($typed_at - $time_at / $rate - $E2E_SOUND_BACK)")
    type_line exit _ignored && wait_until 5 gone "$program" || fail_showing "no exit on $1"
    for line in "The sound does not work. Alarms cannot be heard." "The sound works again."; do
        (($(grep -cxF "tallowick: $line" "$WORK/err") == 1)) || fail_showing "'$line' not written once"
    done
    restarts+=("$recording" "$back" "$time_at")
}
restart_while_ringing pulseaudio "$(cat "$WORK/run/pulse/pid")" || fail "no PulseAudio again"
pid=$(cat "$WORK/run/pulse/pid") && kill -TERM "$pid" && wait_until 5 gone "$pid"
if ! command -v pipewire pipewire-pulse wireplumber dbus-daemon >/dev/null; then
    echo "SKIP: the PipeWire run: pipewire, pipewire-pulse, wireplumber or dbus is missing" >&2
elif ! e2e_record_null_sink "$rate" "$WORK/pipewire-start.raw" pipewire; then
    echo "SKIP: the PipeWire run: PipeWire does not start here by hand" >&2
else
    restart_while_ringing pipewire "${E2E_PIPEWIRE[*]}" || fail "no PipeWire again"
fi

PYTHONPATH=$here python3 - "$recording" "$rate" "0.$set_in_second" "$help_at" "$help_stop_at" \
    "$chime_set_at" "$chime_stop_at" "$long_set_at" "$long_stop_at" "$orders_at" "$sd_help_at" \
    "$key_at" "${restarts[@]}" <<'PYTHON' || fail "what was heard was not as expected"
import cmath, math, operator, sys  # noqa: E401
from checks import SILENT, Recording, check, finish

rate = int(sys.argv[2])
recording = Recording(sys.argv[1], rate)
samples, total = recording.samples, len(recording.samples)
set_in_second = float(sys.argv[3])  # how far into a second of the wall clock "in 1 s" came
(help_at, help_stop_at, chime_set_at, chime_stop_at, long_set_at, long_stop_at, orders_at,
 sd_help_at, key_at) = map(int, sys.argv[4:13])

check(total >= key_at + rate, "the recording lasts as long as the test") or finish()

# Sound within `limit` s of the line typed at `start` (before `end`); then quiet within `limit`
# s of a line and for `then` s after: 1. speech, 2. the chime, 3. the long sound cut off by
# "stop", 4. the help page cut off by a key struck 2 s into it.
for what, start, end, limit in [("speech after 'help'", help_at, help_stop_at, 1.5),
                                ("the help page", sd_help_at, key_at, 2.0)]:
    first = recording.sounding(start, end)[0]
    check(first is not None and first <= limit, "%s heard within %s s: %s" % (what, limit, first))
for what, start, end, limit, then in [
        ("speech after 'stop'", help_stop_at, chime_set_at, 1.5, 0.2),
        ("the chime after 'stop'", chime_stop_at, long_set_at - rate // 2, 1.2, 0.5),
        ("the long sound after 'stop'", long_stop_at, long_stop_at + rate * 3 // 2, 0.3, 0.5),
        ("all after the key", key_at, total, 0.5, 1.0)]:
    ok, last = recording.quiet_within(start, end, limit, then)
    check(ok, "%s is quiet within %s s: %.2f s" % (what, limit, last))
# 1. At least 5 s of speech in the 8 s after "help".
spoken = sum(v > SILENT for v in recording.loudness(help_at, help_stop_at)) / 50
check(spoken >= 5.0, "after 'help', %.2f s of sound in %.2f s (at least 5 s wanted)"
      % (spoken, (help_stop_at - help_at) / rate))

# 2. The chime. Hann-windowed single-frequency DFTs (32 ms windows, every 10 ms) give the
#    amplitude of each note; the alert's A5 tells the fallback sound apart.
N, HOP = 512, rate // 100
hann = [0.5 - 0.5 * math.cos(2 * math.pi * n / N) for n in range(N)]
norm = 2 / sum(hann) / 32768


def amplitudes(freq, start, end):
    """Per window from `start`: the amplitude of `freq` in it (1 = a full-scale sine)."""
    kernel = [h * cmath.exp(-2j * math.pi * freq * n / rate) for n, h in enumerate(hann)]
    return [abs(sum(map(operator.mul, kernel, samples[b:b + N]))) * norm
            for b in range(start, min(end, total) - N + 1, HOP)]


c6, g6, a5 = (amplitudes(f, chime_set_at, long_set_at) for f in (1046.50, 1567.98, 880.0))


def at(window):
    """Seconds after "in 1 s" of the middle of window `window`."""
    return (window * HOP + N / 2) / rate


ON = 10 ** (-30 / 20)  # a ring's C6 starts well above -30 dBFS
onsets = []
for k in range(len(c6)):
    if c6[k] < ON or (onsets and at(k) - at(onsets[-1]) < 0.4):
        continue
    # A ring starts where C6 rises to four times its level of the 120 ms before, and above
    # twice its loudest there: a drop-out of a few milliseconds inside a ring, which a busy
    # machine can cause, dips and rises again but was loud just before.
    before = c6[max(0, k - 12):k] or [0.0]
    if c6[k] >= 4 * min(before) and c6[k] >= 2 * max(before):
        onsets.append(k)

set_to_stop = (chime_stop_at - chime_set_at) / rate
times = [at(k) for k in onsets]
print("rings at %s s after 'in 1 s'; 'stop' at %.2f s"
      % (", ".join("%.2f" % t for t in times), set_to_stop), file=sys.stderr)

# The first ring belongs to the next second boundary of the wall clock; 0.5 s is left for the
# latency of the sound output.
boundary = 1 - set_in_second
check(bool(times) and times[0] <= boundary + 0.5, "the first ring came within %.2f s of 'in 1 s',"
      " typed %.2f s before the next second began" % (boundary + 0.5, boundary))
rings = [t for t in times if t <= set_to_stop + 0.3]
check(len(rings) >= 3, "%d rings before 'stop' (at least 3 wanted)" % len(rings))
gaps = [b - a for a, b in zip(rings, rings[1:])]
check(all(0.6 <= g <= 1.4 for g in gaps),
      "the rings came every %s s (every second wanted)" % ", ".join("%.2f" % g for g in gaps))
check(bool(rings) and rings[-1] >= set_to_stop - 1.4, "the chime rang until 'stop'")
check(len(rings) == len(times), "no ring started after 'stop'")

# Each ring is the chime: C6, then G6 about 0.16 s later, and not the alert's A5 (a ring that
# "stop" cut off may not have reached its G6).
for k in (k for k in onsets if at(k) < set_to_stop - 0.3):
    c6_peak = max(c6[k:k + 8])
    g6_peak = max(g6[k + 10:k + 30] or [0.0])
    a5_peak = max(a5[k:k + 20] or [0.0])
    check(g6_peak >= 0.25 * c6_peak and a5_peak <= 0.1 * c6_peak,
          "the ring at %.2f s is the chime (C6 %.3f, then G6 %.3f; A5 %.3f)"
          % (at(k), c6_peak, g6_peak, a5_peak))

# 3. The long tone sounds in the 0.3 s before "stop" (which came 0.25 s or more after the ring
#    began); the typed moment is known to a few tens of milliseconds (bench/run measures it).
before = recording.loudness(long_stop_at - rate * 3 // 10, long_stop_at)
check(bool(before) and max(before) > SILENT, "the long sound played until 'stop'")

# 4. One sentence lasts about 2.4 s at speech-dispatcher's normal rate, three about 7.5 s: a
#    listing whose sentences cut one another would last as long as its last one.
list_start, list_end = recording.sounding(orders_at, sd_help_at)
listing = 0.0 if list_start is None else list_end - list_start
check(listing > 5.0, "the listing of three marks lasts %.2f s (over 5 s wanted)" % listing)

# 5. After each restart: the ring within 2 s of the first sound the new server plays (the start
#    of its recording, at most `back` s after it answered), and the reply to "time" within 1.5 s.
for path, back, time_typed in zip(*[iter(sys.argv[13:])] * 3):
    again, time_typed = Recording(path, rate), int(time_typed)
    ring = again.sounding(0, time_typed)[0]
    check(ring is not None and ring <= 2.0, "%s: the ring heard again %s s into the recording, "
          "%.2f s after the server answered" % (path, ring, (ring or 0) + float(back)))
    reply = again.sounding(time_typed, len(again.samples))[0]
    check(reply is not None and reply <= 1.5, "%s: 'time' answered aloud in %s s" % (path, reply))
finish()
PYTHON
