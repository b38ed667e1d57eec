#!/usr/bin/env python3
"""Summarises what bench/wine/measure.sh recorded, as Markdown, with each budget and whether
it holds; exits with 1 when one does not.

  report.py reaction|cost|footprint|soak RESULTS_DIR
"""

import collections
import csv
import math
import os
import statistics
import sys

TICK_MS = 100.0
FOOTPRINT_SLACK_KB = 200  # private memory over the cycles: a leak of 1 kB a cycle exceeds it
# Private memory from minute 1 to the last: under this load Wine's heap moves in single steps
# of about 250 kB, either way, and then stays; a leak of 50 bytes a window exceeds it.
SOAK_SLACK_KB = 512
failures = []


def percentile(values, fraction):
    """Nearest rank: the smallest value with at least `fraction` of them at or below it."""
    ordered = sorted(values)
    return ordered[max(1, math.ceil(fraction * len(ordered))) - 1]


def spread(values):
    return (f"{statistics.median(values):.1f} / {percentile(values, 0.95):.1f} / "
            f"{percentile(values, 0.99):.1f} / {max(values):.1f} ms")


def pairs(words):
    """"key value" words, or "key=value" ones, as a dict of strings."""
    if any("=" in word for word in words):
        return dict(word.split("=", 1) for word in words if "=" in word)
    return dict(zip(words[0::2], words[1::2]))


def read_rows(path):
    """The CSV rows of a probe's output, and its "# name key value ..." lines by name."""
    with open(path, newline="") as handle:
        lines = [line.rstrip("\r\n") for line in handle]
    notes = {line.split()[1]: pairs(line.split()[2:]) for line in lines if line.startswith("# ")}
    return list(csv.DictReader(line for line in lines if line and line[0] != "#")), notes


def counted(steps):
    """The objects counted at every step: not those the system did not count ("n/a")."""
    keys = [key for key in next(iter(steps)) if key not in ("rss", "private", "cpu_ms")]
    return [key for key in keys if all(step.get(key, "n/a") != "n/a" for step in steps)]


def judge(ok, text):
    print(f"- {'ok' if ok else 'NOT MET'}: {text}")
    if not ok:
        failures.append(text)


def loads(results, what):
    print()
    with open(os.path.join(results, "load.txt")) as handle:
        for line in handle:
            if line.startswith(what):
                print(f"- {line.strip()}")


def reaction(results):
    created = read_rows(os.path.join(results, "reaction-created.csv"))[0]
    renamed = read_rows(os.path.join(results, "reaction-renamed.csv"))[0]
    print("| Window | From | Trials | Median / 95th / 99th pct. / max | Never closed | "
          "Closed before drawn |")
    print("|---|---|---:|---:|---:|---:|")
    budgets = []
    for label, origin, rows, column, budget in (
            ("titled to match when created", "CreateWindowExA's return", created,
             "after_return_ms", (2, 10, 110)),
            ("titled to match when created", "its first message (WM_NCCREATE)", created,
             "reaction_ms", None),
            ("renamed 300 ms after its creation", "the rename", renamed, "reaction_ms",
             (60, 110, 150))):
        times = [float(row[column]) for row in rows if row["reaction_ms"]]
        undrawn = sum(row["drawn_before_close"] == "0" for row in rows if row["reaction_ms"])
        print(f"| {label} | {origin} | {len(rows)} | {spread(times)} | {len(rows) - len(times)} "
              f"| {undrawn} of {len(rows)} |")
        if budget:
            budgets.append((label, times, len(rows), budget))
    print()
    for label, times, trials, budget in budgets:
        judge(len(times) == trials, f"{label}: every window asked to close")
        for value, limit, what in zip((statistics.median(times), percentile(times, 0.95),
                                       max(times)), budget, ("median", "95th percentile", "max")):
            judge(value <= limit, f"{label}: {what} {value:.1f} ms, at most {limit} ms")
    undrawn = sum(row["drawn_before_close"] == "0" for row in created if row["reaction_ms"])
    judge(undrawn >= 0.95 * len(created), f"{undrawn} of {len(created)} closed before drawn, at "
          "least 95 %")
    burst(os.path.join(results, "reaction-burst.csv"))
    loads(results, "reaction")


def burst(path):
    """Bursts of windows opened at once by one thread: each from its CreateWindowExA's return."""
    if not os.path.exists(path):
        return
    rows = read_rows(path)[0]
    size = max(int(row["window"]) for row in rows)
    asked = [row for row in rows if row["reaction_ms"]]
    times = [float(row["after_return_ms"]) for row in asked]
    undrawn = sum(row["drawn_before_close"] == "0" for row in asked)
    print()
    print(f"Bursts of {size} windows opened at once by one thread, "
          f"{len(rows) // size} bursts; from each window's CreateWindowExA's return:")
    print()
    print("| Window of the burst | Windows | Median / 95th / 99th pct. / max | From the loop's "
          "start: median | Never closed | Closed before drawn |")
    print("|---|---:|---:|---:|---:|---:|")
    for number in [str(n) for n in range(1, size + 1)] + ["all"]:
        group = [row for row in rows if number in ("all", row["window"])]
        done = [row for row in group if row["reaction_ms"]]
        times = [float(row["after_return_ms"]) for row in done]
        loop = [float(row["after_loop_ms"]) for row in done]
        print(f"| {number} | {len(group)} | {spread(times) if done else '-'} | "
              f"{statistics.median(loop) if done else 0:.1f} ms | {len(group) - len(done)} | "
              f"{sum(row['drawn_before_close'] == '0' for row in done)} |")
    times = [float(row["after_return_ms"]) for row in asked]
    lasts = [max(float(row["after_return_ms"]) for row in asked if row["trial"] == trial)
             for trial in {row["trial"] for row in asked}]
    print()
    judge(len(asked) == len(rows), "burst: every window asked to close")
    if times:
        judge(max(times) <= 110, f"burst: every window within 110 ms of its creation: max "
              f"{max(times):.1f} ms (the latest of each burst: median "
              f"{statistics.median(lasts):.1f} ms)")
    print(f"- goal: closed before drawn: {undrawn} of {len(rows)} "
          f"({100.0 * undrawn / len(rows):.0f} %)")


def cost(results):
    table, seconds = {}, 60.0
    with open(os.path.join(results, "cost.txt")) as handle:
        for words in (line.split() for line in handle):
            if words[0] == "seconds":
                seconds = float(words[1])
            else:
                table.setdefault((words[0], int(words[1])), {})[words[2]] = float(words[3])
    ticks = seconds * 1000.0 / TICK_MS
    print(f"CPU over {seconds:.0f} s of monitoring ({ticks:.0f} ticks), 100 keywords; the others "
          f"as the difference from {seconds:.0f} s of the same desktop without Vintrell.")
    print()
    print("| Other windows | Vintrell | per tick | wineserver (Δ) | explorer (Δ) | "
          "Vintrell + wineserver, share of a core |")
    print("|---:|---:|---:|---:|---:|---:|")
    for windows in sorted(w for phase, w in table if phase == "monitoring"):
        busy, idle = table[("monitoring", windows)], table.get(("idle", windows), {})
        ours = busy["vintrell"]
        server = busy["wineserver"] - idle.get("wineserver", 0.0)
        explorer = busy["explorer"] - idle.get("explorer", 0.0)
        print(f"| {windows:,} | {ours:,.0f} ms | {ours / ticks:.2f} ms | {server:,.0f} ms | "
              f"{explorer:,.0f} ms | {100.0 * (ours + server) / (seconds * 1000.0):.1f} % |")
    loads(results, "cost")


def footprint(results):
    steps = {}
    with open(os.path.join(results, "footprint.txt")) as handle:
        for words in (line.split() for line in handle):
            if words[0] == "exe_bytes":
                print(f"Vintrell.exe: {int(words[1]):,} bytes.")
            else:
                steps[int(words[0])] = {"rss": int(words[1]), "private": int(words[2]),
                                        **pairs(words[3:])}
    keys = counted(steps.values())
    print()
    print("| Cycles | VmRSS | Private | " + " | ".join(k.replace("_", " ") for k in keys) + " |")
    print("|---:|---:|---:|" + "---:|" * len(keys))
    for cycles, step in sorted(steps.items()):
        print(f"| {cycles} | {step['rss']:,} kB | {step['private']:,} kB | " +
              " | ".join(step.get(key, "") for key in keys) + " |")
    print()
    first, last = steps[min(steps)], steps[max(steps)]
    growth = last["private"] - first["private"]
    judge(growth <= FOOTPRINT_SLACK_KB, f"private memory {growth:+,} kB over {max(steps)} "
          f"cycles, at most +{FOOTPRINT_SLACK_KB} kB")
    for key in keys:
        values = [step[key] for _, step in sorted(steps.items())]
        judge(len(set(values)) == 1, f"{key.replace('_', ' ')} at every step: {', '.join(values)}")
    loads(results, "footprint")


def soak(results):
    rows, notes = read_rows(os.path.join(results, "soak-windows.csv"))
    load, plain = notes["load"], notes["plain"]
    # From the window's creation (WM_NCCREATE), or from a hung one's release.
    waits = {id(row): float(row["first_close_ms"]) -
             (float(row["ready_ms"]) if row["kind"] == "hung" else 0.0)
             if row["first_close_ms"] else math.inf for row in rows}
    # From when the window's thread takes messages: shown, or a hung one released.
    after_ready = [float(row["first_close_ms"]) - float(row["ready_ms"]) for row in rows
                   if row["first_close_ms"]]
    print("| Windows | Opened | Closed by Vintrell | Missed | First WM_CLOSE: median / 95th / "
          "99th pct. / max | WM_CLOSE received, max |")
    print("|---|---:|---:|---:|---:|---:|")
    for kind in ("close", "decline", "question", "hung", "burst", "main", "popup"):
        group = [row for row in rows if row["kind"] == kind]
        if group:
            print(f"| {kind} | {len(group):,} | "
                  f"{sum(row['result'] == 'closed' for row in group):,} | "
                  f"{sum(row['result'] != 'closed' for row in group)} | "
                  f"{spread([waits[id(row)] for row in group])} | "
                  f"{max(int(row['close_requests']) for row in group)} |")
    print(f"| plain | {int(plain.get('opened', 0)):,} | asked to close: "
          f"{plain.get('asked_to_close')} | | | |")
    print()
    p99 = percentile(list(waits.values()), 0.99)
    judge(all(row["result"] == "closed" for row in rows), "every matching window closed")
    judge(p99 <= 110, f"first WM_CLOSE within 110 ms at the 99th percentile: {p99:.1f} ms "
          f"(creating a window took {spread([float(row['returned_ms']) for row in rows])}; from "
          f"when its thread took messages, once shown: {spread(after_ready)})")
    questions = [row for row in rows if row["kind"] == "question"]
    judge(all(row["closes_while_asking"] == "1" for row in questions),
          f"each of {len(questions)} questions got one WM_CLOSE while open")
    judge(plain.get("asked_to_close") == "0", "no plain window asked to close")
    asked = []  # while each hung window hung, how many others were asked to close
    for row in (row for row in rows if row["kind"] == "hung"):
        start = float(row["created_s"]) * 1000.0
        end = start + float(row["ready_ms"])
        asked.append(sum(start <= float(o["created_s"]) * 1000 + waits[id(o)] <= end
                         for o in rows if o is not row))
    judge(min(asked, default=1) > 0, f"while each of {len(asked)} hung windows hung, others were "
          f"asked to close: {min(asked, default=0)} to {max(asked, default=0)}")
    rate = float(load["rate"])
    judge(float(load["per_second"]) >= 0.95 * rate, f"load: {load['opened']} windows in "
          f"{load['seconds']} s, {load['per_second']} a second, at most {load['max_lag_ms']} "
          "ms late")
    samples, menus, final = {}, [], {}
    with open(os.path.join(results, "soak.txt")) as handle:
        for words in (line.split() for line in handle):
            if words[0] == "sample":
                samples[int(words[1])] = {"cpu_ms": int(words[2]), "rss": int(words[3]),
                                          "private": int(words[4]), **pairs(words[5:])}
            elif words[0] == "menu":
                menus.append(pairs(words[1:]))
            elif words[0] == "final":
                final = pairs(words[1:])
            elif words[0] == "load_exit":
                print(f"- {' '.join(words)}")
    start = min(1, max(samples) - 1)  # minute 1, the load under way; 0 in a short soak
    first, last, minutes = samples[start], samples[max(samples)], max(samples) - start
    growth = last["private"] - first["private"]
    judge(growth <= SOAK_SLACK_KB, f"private memory from minute {start} to {max(samples)}: "
          f"{first['private']:,} → {last['private']:,} kB; VmRSS {last['rss'] - first['rss']:+,} "
          f"kB; CPU {(last['cpu_ms'] - first['cpu_ms']) / 1000:.1f} s, "
          f"{(last['cpu_ms'] - first['cpu_ms']) / (600 * minutes):.1f} % of a core")
    for key in counted(samples.values()):
        values = [samples[m][key] for m in sorted(samples) if m >= start]
        judge(len(set(values)) == 1, f"{key.replace('_', ' ')} each minute: {', '.join(values)}")
    shown = [m for m in menus if m.get("shown_ms", "none") != "none"]
    ok = [m for m in shown if m.get("monitoring") == "1" and m.get("check_close_ms", "-1") != "-1"]
    judge(len(ok) == len(menus), f"tray menu: {len(shown)} of {len(menus)} rounds shown, "
          f"{sum(m['opened_by'] == 'click' for m in shown)} by the click (the others by the "
          f"posted callback), in {spread([float(m['shown_ms']) for m in shown])}; monitoring "
          f"went on and a new window was asked (at most "
          f"{max((float(m['check_close_ms']) for m in ok), default=0):.0f} ms) after {len(ok)}; "
          f"closed by {dict(collections.Counter(m.get('closed_by') for m in menus))}; "
          f"{sum('stray' in m for m in menus)} stray menus")
    judge(final.get("window_shown_ms", "-1") != "-1", f"at the end: menu shown in "
          f"{final.get('shown_ms')} ms ({final.get('opened_by')}), window back "
          f"{final.get('window_shown_ms')} ms after the click on Stop Monitoring")
    loads(results, "soak")


if __name__ == "__main__":
    {"reaction": reaction, "cost": cost, "footprint": footprint, "soak": soak}[sys.argv[1]](
        sys.argv[2])
    sys.exit(1 if failures else 0)
