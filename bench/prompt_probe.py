#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times the terminal front-end's start-up: from starting `PROGRAM --terminal` on a fresh
pseudo-terminal (so that it shows its prompt) to the first prompt "> " on it. Ends each run by
typing "exit", as a user would.

    prompt_probe.py PROGRAM [RUNS]    prints one line per run: the milliseconds
"""

import os
import pty
import select
import signal
import sys
import time

PROMPT = b"> "


def wait_gone(pid, seconds):
    """Reaps `pid`; True once it has ended, False when it is still running after `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done == pid:
            return True
        time.sleep(0.01)
    return False


def one_run(program):
    start = time.monotonic_ns()
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.execv(program, [program, "--terminal"])
        finally:
            os._exit(127)
    seen = b""
    elapsed_ms = None
    deadline = time.monotonic() + 30
    try:
        while elapsed_ms is None:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([fd], [], [], left)
            if not ready:
                break
            try:
                data = os.read(fd, 4096)
            except OSError:  # the program ended and the terminal was hung up
                break
            if not data:
                break
            seen += data
            if PROMPT in seen:
                elapsed_ms = (time.monotonic_ns() - start) / 1e6
        try:
            os.write(fd, b"exit\n")
        except OSError:
            pass
        if not wait_gone(pid, 5):
            os.kill(pid, signal.SIGKILL)
            wait_gone(pid, 5)
    finally:
        os.close(fd)
    if elapsed_ms is None:
        sys.exit(f"prompt_probe: no prompt from {program}; it wrote {seen!r}")
    return elapsed_ms


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: prompt_probe.py PROGRAM [RUNS]")
    runs = int(sys.argv[2]) if len(sys.argv) == 3 else 7
    for _ in range(runs):
        print(f"{one_run(sys.argv[1]):.1f}", flush=True)


if __name__ == "__main__":
    main()
