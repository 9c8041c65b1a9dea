#!/usr/bin/env bash
# The replies spoken through speech-dispatcher (--voice=speech-dispatcher): a private daemon on
# its own socket speaks with its eSpeak NG module into a private PulseAudio null sink, whose
# monitor is recorded.
#
#  1. A reply is heard: "say mark 1", one sentence.
#  2. A listing queues its sentences: "orders" with three marks speaks three such sentences, so
#     it lasts over twice as long as one.
#  3. A new reply cuts the one being said: "time" typed 2 s into the first help page (half a
#     minute of speech) is over, with the help, within a few seconds.
#
# Usage: speech_dispatcher.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_need "pulseaudio, pulseaudio-utils, python3, speech-dispatcher" \
    pulseaudio pactl pacat parec python3 speech-dispatcher
[[ -d /etc/speech-dispatcher ]] || skip "speech-dispatcher's configuration is missing"
[[ -x /usr/lib/speech-dispatcher-modules/sd_espeak-ng ]] ||
    skip "speech-dispatcher's eSpeak NG module is missing (install speech-dispatcher-espeak-ng)"
e2e_start "$@"
unset AUDIODEV PULSE_SINK PULSE_PROP # SDL's driver stays the dummy: only speech is recorded

rate=16000 # of the recording: 16-bit mono
recording="$WORK/recording.raw"
e2e_record_null_sink "$rate" "$recording"
e2e_speech_dispatcher
e2e_serve --terminal --voice=speech-dispatcher
E2E_SHOW=("speech-dispatcher's log" "$WORK/speechd-log/speech-dispatcher.log")

declare one_at orders_at help_at time_at _ignored
for line in mark mark mark; do type_line "$line" _ignored; done
wait_until 10 output_lines 3 || fail_showing "the program did not answer within 10 s"
[[ ! -s "$WORK/err" ]] || fail_showing "the program did not speak through speech-dispatcher"
sleep 4
type_line 'say mark 1' one_at
sleep 5
type_line orders orders_at
sleep 12
type_line help help_at
sleep 2
type_line time time_at
sleep 6
type_line exit _ignored
wait_until 5 gone "$program" || fail_showing "'exit' did not end the program"
e2e_stop_recording

status=0
PYTHONPATH=$here python3 - "$recording" "$rate" "$one_at" "$orders_at" "$help_at" "$time_at" \
    <<'PYTHON' || status=$?
"""Checks the recording; prints what it measured, and the reasons when a check fails."""
import sys

from checks import Recording, check, finish

recording = Recording(sys.argv[1], int(sys.argv[2]))
sounding = recording.sounding
one_at, orders_at, help_at, time_at = (int(v) for v in sys.argv[3:7])
one_start, _ = sounding(one_at, orders_at)
check(one_start is not None and one_start < 2.0,
      "'say mark 1' is heard %s after it was typed" %
      ("never" if one_start is None else "%.2f s" % one_start))
# One such sentence lasts about 2.4 s at speech-dispatcher's normal rate, three about 7.5 s: a
# listing whose sentences cut one another would last as long as its last one.
list_start, list_end = sounding(orders_at, help_at)
listing = 0.0 if list_start is None else list_end - list_start
check(listing > 5.0, "the listing of three marks lasts %.2f s (over 5 s wanted)" % listing)
help_start, _ = sounding(help_at, time_at)
check(help_start is not None and help_start < 2.0, "the help page is heard")
_, time_end = sounding(time_at, len(recording))
check(time_end is not None and time_end < 4.5,
      "after 'time', 2 s into the help page, all is quiet %s later (within 4.5 s wanted)" %
      ("never" if time_end is None else "%.2f s" % time_end))
finish()
PYTHON
((status == 0)) || fail_showing "the replies were not spoken as they should be"
