#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints the one table of bench/run from the result files in its work directory:

    machine.txt            key=value lines about the machine and its load
    latency.json           firing_latency's output
    core.json              core_bench's Google Benchmark JSON output
    startup-<config>.txt   one start-up time in ms per line
    idle.txt               "<config> <cpu ticks> <schedstat ns> <seconds> <VmRSS kB>" lines, or
                           "<config> skipped <reason>"
    heard.json             bench/heard.py's output: what is heard on the sound server, and when

Any file may be missing (bench/run latency makes only latency.json); its rows are left out.

    make_table.py WORK_DIR
"""

import json
import os
import statistics
import sys


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f if line.strip()]
    except FileNotFoundError:
        return None


def fmt(value, digits=None):
    if digits is None:
        digits = 3 if abs(value) < 10 else 2 if abs(value) < 100 else 1
    return f"{value:.{digits}f}"


def ratio(value, base):
    if not base:
        return "—"
    r = value / base
    return f"×{r:.2f}" if r >= 0.1 else f"×{r:.2g}"


class Table:
    def __init__(self):
        self.rows = []

    def add(self, number, what, result, versus="—", target="—", holds="—"):
        self.rows.append((number, what, result, versus, target, holds))

    def print(self):
        head = ("#", "Measurement", "Result", "vs baseline", "Target", "Holds")
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(len(head))]

        def line(cells):
            return "| " + " | ".join(c.ljust(w) for c, w in zip(cells, widths)) + " |"

        print(line(head))
        print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
        for row in self.rows:
            print(line(row))


def yes_no(ok):
    return "yes" if ok else "**NO**"


def latency_rows(table, work):
    try:
        with open(os.path.join(work, "latency.json"), encoding="utf-8") as f:
            data = json.load(f)
    except FileNotFoundError:
        return
    sources = data["sources"]
    base = sources.get("free-running", {})
    names = {
        "ticker-poll": "Firing latency, terminal: SecondTicker + poll()",
        "ticker-qt": "Firing latency, window: SecondTimer in Qt's event loop",
        "free-running": "Firing latency, free-running 1000 ms timer (baseline)",
    }
    for key in ("ticker-poll", "ticker-qt", "free-running"):
        s = sources.get(key)
        if s is None:
            continue
        if "median_ms" not in s:
            table.add("1", names[key], f"failed: {s.get('error', 'no samples')}")
            continue
        result = (f"median {fmt(s['median_ms'])} ms, p99 {fmt(s['p99_ms'])} ms "
                  f"(n={s['n']}, max {fmt(s['max_ms'])}")
        if key != "free-running":
            # Ticks at which SystemClock showed another second than clock_gettime did.
            result += f"; SystemClock off at {s['stale_ticks']}/{s['ticks']} ticks"
        result += ")"
        if key == "free-running":
            table.add("1", names[key], result)
            continue
        versus = "—"
        if "median_ms" in base:
            versus = (f"median {ratio(s['median_ms'], base['median_ms'])}, "
                      f"p99 {ratio(s['p99_ms'], base['p99_ms'])}")
        table.add("1", names[key], result, versus, "p99 ≤ 5 ms", yes_no(s["p99_ms"] <= 5))


def core_rows(table, work):
    try:
        with open(os.path.join(work, "core.json"), encoding="utf-8") as f:
            data = json.load(f)
    except FileNotFoundError:
        return
    bench = {}
    for b in data["benchmarks"]:
        name = b["name"].split("/iterations:")[0]
        bench[name] = b

    def get(name):
        b = bench.get(name)
        if b is None or b.get("error_occurred"):
            return None
        return b["median_us"], b["p99_us"]

    def result(name, unit="us"):
        v = get(name)
        if v is None:
            err = bench.get(name, {}).get("error_message", "not run")
            return None, f"failed: {err}"
        div, u = (1000.0, "ms") if unit == "ms" else (1.0, "µs")
        return v, f"median {fmt(v[0] / div)} {u}, p99 {fmt(v[1] / div)} {u}"

    for n in (0, 50):
        v, text = result(f"line/orders:{n}", "ms")
        base = get(f"bare_replace/orders:{n}")
        versus = (f"median {ratio(v[0], base[0])}, p99 {ratio(v[1], base[1])}"
                  if v and base else "—")
        table.add("2", f"Line \"time\" handled in full, {n} orders standing (real disk)", text,
                  versus, "median ≤ 2 ms", yes_no(v[0] <= 2000) if v else "—")
    for n in (0, 50):
        _, text = result(f"bare_replace/orders:{n}", "ms")
        table.add("2", f"Bare write+fsync+rename+dir fsync, {n}-order file (baseline)", text)

    v, text = result("tick_logic/orders:50")
    table.add("3", "Tick over 50 orders, logic alone (no-op canvas)", text, "—",
              "median ≤ 20 µs", yes_no(v[0] <= 20) if v else "—")
    v2, text = result("tick_logic_stub_clock/orders:50")
    if v2 or "tick_logic_stub_clock/orders:50" in bench:
        table.add("3", "Tick over 50 orders, logic alone, clock reads stubbed (for reference)",
                  text)
    v, text = result("tick_qt_panel/orders:50")
    table.add("3", "Tick over 50 orders, panel drawn into QtPanelCanvas (QImage)", text, "—",
              "median ≤ 1 ms", yes_no(v[0] <= 1000) if v else "—")
    _, text = result("parse_settings/orders:50")
    table.add("4", "Parse a 50-order settings file (in memory)", text)
    _, text = result("load_settings/orders:50")
    table.add("4", "Load a 50-order settings.ini from disk (Core::load, page cache warm)", text)


IDLE_NAMES = {
    "window": "window (Xvfb)",
    "terminal": "terminal (stdin a FIFO, stdout /dev/null)",
    "window-sound": "window, with a sound server (private PulseAudio, null sink)",
    "terminal-sound": "terminal, with a sound server (private PulseAudio, null sink)",
}


def idle_rows(table, work, clk_tck):
    lines = read_lines(os.path.join(work, "idle.txt"))
    if lines is None:
        return
    rss_targets = {"window": 40, "terminal": 25}
    for line in lines:
        parts = line.split()
        config = parts[0]
        name = IDLE_NAMES.get(config, config)
        if parts[1] == "skipped":
            table.add("5", f"Idle, {name}", "skipped: " + " ".join(parts[2:]))
            continue
        ticks, sched_ns, seconds, rss_kb = (float(p) for p in parts[1:5])
        cpu = ticks / clk_tck / seconds * 100
        sched = sched_ns / 1e9 / seconds * 100
        table.add("5", f"Idle CPU over {seconds:.0f} s, 15 orders, {name}",
                  f"{cpu:.3f} % of a core (schedstat {sched:.4f} %)", "—", "≤ 0.1 %",
                  yes_no(cpu <= 0.1))
        limit = rss_targets[config.split("-")[0]]
        mb = rss_kb / 1024
        table.add("5", f"VmRSS at the end, {name}", f"{mb:.1f} MB", "—", f"≤ {limit} MB",
                  yes_no(mb <= limit))


STARTUP_NAMES = {
    "window": "Start-up to the window shown (exec to MapNotify)",
    "terminal": "Start-up to the terminal prompt \"> \" (pty)",
    "window-sound": "Start-up to the window shown, with a sound server",
    "terminal-sound": "Start-up to the terminal prompt, with a sound server",
}


def startup_rows(table, work):
    for config in ("window", "terminal", "window-sound", "terminal-sound"):
        lines = read_lines(os.path.join(work, f"startup-{config}.txt"))
        if lines is None:
            continue
        if lines[0].startswith("skipped"):
            table.add("6", STARTUP_NAMES[config], lines[0])
            continue
        ms = sorted(float(x) for x in lines)
        table.add("6", STARTUP_NAMES[config],
                  f"min {fmt(ms[0])} ms, median {fmt(statistics.median_low(ms))} ms, "
                  f"max {fmt(ms[-1])} ms ({len(ms)} runs)")


def heard_rows(table, work):
    try:
        with open(os.path.join(work, "heard.json"), encoding="utf-8") as f:
            data = json.load(f)
    except FileNotFoundError:
        return
    if "skipped" in data:
        table.add("7", "What is heard on the sound server", "skipped: " + data["skipped"])
        return

    def text(s):
        if not s.get("n"):
            return f"nothing heard in {s.get('missed', 0)} trials"
        missed = f", {s['missed']} missed" if s["missed"] else ""
        return (f"median {fmt(s['median_ms'])} ms, max {fmt(s['max_ms'])} ms "
                f"(n={s['n']}{missed})")

    def ok(s):
        return bool(s.get("n")) and not s["missed"]

    paplay = data["paplay"]
    for key, what in (("alarm_closed", "Alarm onset after its due second, output closed before "
                       "(opened a second ahead)"),
                      ("alarm_open", "Alarm onset after its due second, output open")):
        s = data[key]
        holds = (ok(s) and ok(paplay) and s["median_ms"] <= paplay["median_ms"] + 2
                 and s["max_ms"] <= 30)
        table.add("7", what, text(s), "paplay: " + text(paplay),
                  "median ≤ paplay's + 2 ms, max ≤ 30 ms", yes_no(holds))
    s = data["stop"]
    table.add("7", "\"stop\" typed 0.3 s into a 10 s sound, until silence", text(s),
              "paplay killed: " + text(data["paplay_killed"]), "median ≤ 30 ms",
              yes_no(ok(s) and s["median_ms"] <= 30))
    s, spd = data["speech"], data["spd_say"]
    table.add("7", "Spoken reply onset after Enter (\"time\")", text(s), "spd-say: " + text(spd),
              "median ≤ spd-say's", yes_no(ok(s) and ok(spd) and s["median_ms"] <= spd["median_ms"]))
    table.add("7", "Capture path (taken off the rows above; clicks through a 2 ms pacat)",
              f"{fmt(data['capture_path_ms'])} ms, spread {fmt(data['capture_spread_ms'])} ms; "
              f"sink clock ×{data['sample_clock_vs_wall']:.5f} of the wall clock")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_table.py WORK_DIR")
    work = sys.argv[1]
    machine = {}
    for line in read_lines(os.path.join(work, "machine.txt")) or []:
        key, _, value = line.partition("=")
        machine[key] = value
    clk_tck = float(machine.get("clk_tck", "100"))

    table = Table()
    latency_rows(table, work)
    core_rows(table, work)
    idle_rows(table, work, clk_tck)
    startup_rows(table, work)
    heard_rows(table, work)

    if machine:
        print(f"Machine: {machine.get('cpu', '?')}, nproc {machine.get('nproc', '?')}, "
              f"{machine.get('memory', '?')}, kernel {machine.get('kernel', '?')}; "
              f"load average {machine.get('load_start', '?')} at the start, "
              f"{machine.get('load_end', '?')} at the end; {machine.get('date', '')}")
        if "load_heard_start" in machine:
            print(f"Load average while sound was measured: {machine['load_heard_start']} "
                  f"before, {machine.get('load_heard_end', '?')} after.")
        print()
    table.print()


if __name__ == "__main__":
    main()
