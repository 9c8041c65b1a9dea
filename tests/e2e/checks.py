# SPDX-License-Identifier: GPL-3.0-or-later
"""The checks of the end-to-end scripts' Python parts, and a null sink's recording (s16le mono)."""
import array
import math
import sys

SILENT = 10 ** (-60 / 20)  # -60 dBFS: the null sink is digital silence when nothing plays
failures = []


def check(ok, message):
    """Prints the check; returns whether it passed."""
    print(("ok:   " if ok else "FAIL: ") + message, file=sys.stderr)
    failures.extend([] if ok else [message])
    return ok


def finish():
    sys.exit(1 if failures else 0)


class Recording:
    def __init__(self, path, rate):
        self.block, self.samples = rate // 50, array.array("h", open(path, "rb").read())

    def loudness(self, start, end):
        """The RMS, relative to full scale, of each 20 ms from sample `start` to `end`."""
        n = self.block
        return [math.sqrt(sum(x * x for x in self.samples[b:b + n]) / n) / 32768
                for b in range(max(0, start), min(end, len(self.samples)) - n + 1, n)]

    def sounding(self, start, end):
        """Seconds after `start` of the first sound and of the end of the last before `end`."""
        loud = [i for i, v in enumerate(self.loudness(start, end)) if v > SILENT]
        return (loud[0] / 50, (loud[-1] + 1) / 50) if loud else (None, None)

    def quiet_within(self, start, end, limit, then):
        """Whether all is quiet within `limit` s of `start` and stays so for `then` s; and when."""
        span = len(self.loudness(start, end)) / 50
        last = self.sounding(start, end)[1] or 0.0
        return last <= limit and span - last >= then, last
