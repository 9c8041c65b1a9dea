#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a user hears, and when: alarm onset, "stop" to silence and speech onset, measured on a
PulseAudio null sink whose monitor is recorded, side by side with references in the same run.

    heard.py --self-check
    heard.py PROGRAM_DIR TRIALS OUT.json

The second form needs PULSE_SERVER set to a private PulseAudio server with a sink "nullsink"
(bench/run starts one), paplay, parec and pacat, and spd-say for the speech reference.

How a moment in the recording becomes a moment on the wall clock: every block read from parec
is stamped with CLOCK_REALTIME. The sink's sample clock runs a little off the wall clock (the
null sink about 0.1 % fast), so the slope is fitted over the whole recording, and the offset is
the lower envelope of the stamps (a block is read at the earliest just after it was captured).
What remains, the capture path, is calibrated with clicks played through a low-latency pacat at
known moments and taken off every figure; its own buffer (2 ms) is in the calibration.

One trial, on second boundaries of the wall clock (ticks come on them):
  1. alarm, output closed: "in 2 s" rings a 10 s tone 2 s later; the player has been idle long
     enough to close its output, so only the pre-opening a second ahead has it ready;
  2. "stop" 0.3 s into it: the time until the sink is silent;
  3. alarm, output open: "in 1 s" right after, while the output is still open; "stop" again;
  4. references: paplay of the same tone started on a boundary, and killed 0.3 s later;
  5. speech: "time" typed, until the first sound; spd-say of a sentence, likewise.
"""

import json
import math
import os
import signal
import statistics
import struct
import subprocess
import sys
import threading
import time

RATE = 44100
LEVEL = 200  # |sample| above this (-44 dBFS) is sound; the null sink is silent at 0
TONE_S = 10


def wall():
    return time.clock_gettime(time.CLOCK_REALTIME)


# ---- Analysis (checked by --self-check) ---------------------------------------------------

def fit_clock(stamps):
    """(slope, offset) with wall = offset + slope * sample, from (samples so far, wall) stamps:
    least-squares slope, and the offset of the earliest stamp against that line."""
    n = len(stamps)
    mx = sum(s for s, _ in stamps) / n
    my = sum(t for _, t in stamps) / n
    sxx = sum((s - mx) ** 2 for s, _ in stamps)
    sxy = sum((s - mx) * (t - my) for s, t in stamps)
    slope = sxy / sxx
    offset = min(t - slope * s for s, t in stamps)
    return slope, offset


class Recording:
    def __init__(self, samples, stamps):
        self.samples = samples
        self.slope, self.offset = fit_clock(stamps)
        self.calibration = 0.0  # seconds the capture path adds, taken off every moment

    def at(self, index):
        return self.offset + self.slope * index - self.calibration

    def index(self, moment):
        return max(0, int((moment + self.calibration - self.offset) / self.slope))

    def first_sound(self, start, within):
        """The first moment of sound from `start` on, within `within` seconds, or None."""
        a, b = self.index(start), min(len(self.samples), self.index(start + within))
        s = self.samples
        for i in range(a, b):
            if s[i] > LEVEL or s[i] < -LEVEL:
                return self.at(i)
        return None

    def last_sound(self, start, within):
        """The end of the last sound between `start` and `start + within`, or `start` when
        there is none; None when it still sounds at the end."""
        a, b = self.index(start), min(len(self.samples), self.index(start + within))
        s = self.samples
        for i in range(b - 1, a - 1, -1):
            if s[i] > LEVEL or s[i] < -LEVEL:
                return None if i >= b - RATE // 100 else self.at(i + 1)
        return start


def summary(values_ms):
    got = [v for v in values_ms if v is not None]
    if not got:
        return {"n": 0, "missed": len(values_ms)}
    return {"n": len(got), "missed": len(values_ms) - len(got),
            "median_ms": statistics.median(got), "max_ms": max(got), "min_ms": min(got)}


def tone(seconds, start_phase=0.0, amplitude=8000):
    return [int(amplitude * math.sin(start_phase + 2 * math.pi * 440 * i / RATE))
            for i in range(int(seconds * RATE))]


def self_check():
    """A synthetic recording with known timing: a sink clock 0.1 % fast, blocks read 3 ms (the
    capture path) plus 0.5 to 4 ms after they were rendered, and sounds that start and end at
    known moments. The first sound is the calibration click, played at a known moment."""
    import random
    rnd = random.Random(12)
    start = 1_700_000_000.25
    fast = 1.001  # the sink runs fast: one of its seconds is 1/1.001 s of wall time
    capture = 0.003
    total = 12 * RATE
    samples = [0] * total
    truth = []  # (start, end) on the wall clock of each sound as rendered
    for offset, length in [(0.5, 0.01), (1.5, 0.05), (3.2, 0.3), (5.0, 2.0), (8.0, 1.5)]:
        i0 = round(offset * RATE * fast)
        n = round(length * RATE * fast)
        samples[i0:i0 + n] = tone(n / RATE, math.pi / 3)
        truth.append((start + i0 / (RATE * fast), start + (i0 + n) / (RATE * fast)))
    stamps = [(end, start + end / (RATE * fast) + capture + rnd.uniform(0.0005, 0.004))
              for end in range(441, total + 1, 441)]
    rec = Recording(samples, stamps)
    failures = []

    def near(what, got, want, tolerance=0.0015):
        if got is None or abs(got - want) > tolerance:
            failures.append(f"{what}: {got} instead of {want}")

    click = truth[0][0]
    rec.calibration = rec.first_sound(click - 0.1, 0.5) - click
    near("the capture path", rec.calibration, capture, 0.002)
    for k, (on, off) in enumerate(truth[1:], 1):
        near(f"onset {k}", rec.first_sound(on - 0.2, 1.0), on)
        if off - on < 1.2:
            near(f"end {k}", rec.last_sound(on, 1.5), off)
    if rec.last_sound(truth[3][0], 0.5) is not None:
        failures.append("a sound running past the window was taken as ended")
    if rec.last_sound(truth[1][1] + 0.01, 0.3) != truth[1][1] + 0.01:
        failures.append("silence was not taken as silence")
    if abs(rec.slope * RATE - 1 / fast) > 1e-5:
        failures.append(f"the sample clock came out {rec.slope * RATE:.6f}, not {1 / fast:.6f}")
    for f in failures:
        print("heard.py self-check FAIL: " + f, file=sys.stderr)
    if failures:
        sys.exit(1)
    print("heard.py self-check: onsets and ends recovered within 1.5 ms", file=sys.stderr)


# ---- Measurement ----------------------------------------------------------------------------

def write_wave(path, samples):
    data = struct.pack(f"<{len(samples)}h", *samples)
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1,
                         1, RATE, 2 * RATE, 2, 16, b"data", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


class Recorder:
    def __init__(self):
        self.chunks = []
        self.stamps = []
        self.count = 0
        self.proc = subprocess.Popen(
            ["parec", "-d", "nullsink.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=5", "--process-time-msec=2"],
            stdout=subprocess.PIPE)
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        fd = self.proc.stdout.fileno()
        rest = b""
        while True:
            data = os.read(fd, 4096)
            now = wall()
            if not data:
                return
            data = rest + data
            whole = len(data) // 2 * 2
            rest = data[whole:]
            self.chunks.append(data[:whole])
            self.count += whole // 2
            self.stamps.append((self.count, now))

    def stop(self):
        self.proc.terminate()
        self.thread.join(5)
        raw = b"".join(self.chunks)
        samples = list(struct.unpack(f"<{len(raw) // 2}h", raw))
        return Recording(samples, self.stamps)


def sleep_until(moment):
    while True:
        left = moment - wall()
        if left <= 0:
            return
        time.sleep(min(left, 0.05) if left > 0.002 else 0.0002)


def measure(program_dir, trials, out_path):
    tone_path = os.path.join(program_dir, "tone.wav")
    write_wave(tone_path, tone(TONE_S))
    click = struct.pack("<441h", *tone(0.01))
    keep_alive = subprocess.Popen(["pacat", "--latency-msec=20", "/dev/zero"])
    clicker = subprocess.Popen(["pacat", "--raw", "--format=s16le", f"--rate={RATE}",
                                "--channels=1", "--latency-msec=2"], stdin=subprocess.PIPE)
    # A speech server of this run's own that stays up: one that spd-say starts by itself ends
    # after a few idle seconds, and starting it again takes seconds.
    socket = os.path.join(os.path.dirname(out_path), "speechd.sock")
    speechd = subprocess.Popen(["speech-dispatcher", "-s", "-t", "0", "-c", "unix_socket",
                                "-S", socket, "-P", socket + ".pid"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["SPEECHD_ADDRESS"] = "unix_socket:" + socket
    recorder = Recorder()
    out = open(os.path.join(os.path.dirname(out_path), "heard-program.out"), "wb")
    program = subprocess.Popen([os.path.join(program_dir, "tallowick"), "--terminal"],
                               stdin=subprocess.PIPE, stdout=out, stderr=out)
    moments = {k: [] for k in ("closed", "open", "stop", "stop_open", "paplay", "kill",
                               "speech", "spd", "click")}

    def typed(*lines):
        at = wall()
        for line in lines:
            program.stdin.write((line + "\n").encode())
        program.stdin.flush()
        return at

    # Warm up: the voice, the speech server, the click path.
    time.sleep(2)
    typed("stop")
    for _ in range(50):
        if os.path.exists(socket):
            break
        time.sleep(0.1)
    subprocess.run(["spd-say", "-w", "ready"], timeout=20, check=False)
    time.sleep(4)
    try:
        for _ in range(trials):
            s0 = math.ceil(wall()) + 1
            sleep_until(s0 + 0.1)
            typed("in 2 s", "alarm 1 is tone.wav", "stop")
            b1 = s0 + 2
            moments["closed"].append(b1)
            sleep_until(b1 + 0.3)
            moments["stop"].append(typed("stop"))
            sleep_until(b1 + 1.1)
            typed("in 1 s", "alarm 1 is tone.wav", "stop")
            b2 = b1 + 2
            moments["open"].append(b2)
            sleep_until(b2 + 0.3)
            moments["stop_open"].append(typed("stop"))
            sleep_until(b2 + 1.0)
            moments["paplay"].append(wall())
            player = subprocess.Popen(["paplay", tone_path])
            sleep_until(b2 + 1.3)
            moments["kill"].append(wall())
            player.kill()
            player.wait()
            sleep_until(b2 + 2.0)
            moments["speech"].append(typed("time"))
            sleep_until(b2 + 3.4)
            typed("stop")
            sleep_until(b2 + 4.0)
            moments["spd"].append(wall())
            subprocess.Popen(["spd-say", "The time is twelve o'clock."]).wait()
            sleep_until(b2 + 5.4)
            subprocess.run(["spd-say", "-C"], check=False)
            sleep_until(b2 + 6.0)
            moments["click"].append(wall())
            clicker.stdin.write(click)
            clicker.stdin.flush()
            sleep_until(b2 + 6.5)
    finally:
        program.stdin.write(b"exit\n")
        program.stdin.close()
        try:
            program.wait(5)
        except subprocess.TimeoutExpired:
            program.kill()
        rec = recorder.stop()
        for p in (clicker, keep_alive, speechd):
            p.kill()
            p.wait()

    offsets = [rec.first_sound(t - 0.05, 0.5) for t in moments["click"]]
    offsets = [o - t for o, t in zip(offsets, moments["click"]) if o is not None]
    rec.calibration = statistics.median(offsets)

    def onsets(key, within=0.5):
        return [None if (h := rec.first_sound(t - 0.005, within)) is None else (h - t) * 1000
                for t in moments[key]]

    def silences(key):
        # 0.6 s: the next thing to sound (a reply, a ring) comes 0.7 s or more after.
        return [None if (h := rec.last_sound(t - 0.05, 0.65)) is None else (h - t) * 1000
                for t in moments[key]]

    result = {
        "trials": trials,
        "sample_clock_vs_wall": rec.slope * RATE,
        "capture_path_ms": rec.calibration * 1000,
        "capture_spread_ms": (max(offsets) - min(offsets)) * 1000,
        "alarm_closed": summary(onsets("closed")),
        "alarm_open": summary(onsets("open")),
        "paplay": summary(onsets("paplay")),
        "stop": summary(silences("stop") + silences("stop_open")),
        "paplay_killed": summary(silences("kill")),
        "speech": summary(onsets("speech", 1.0)),
        "spd_say": summary(onsets("spd", 1.5)),
    }
    with open(out_path, "w", encoding="utf-8") as f:
        json.dump(result, f, indent=1)


def main():
    if sys.argv[1:] == ["--self-check"]:
        self_check()
        return
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    measure(sys.argv[1], int(sys.argv[2]), sys.argv[3])


if __name__ == "__main__":
    main()
