#!/usr/bin/env python3
"""Turns the raw output of bench/wine/measure.sh into Markdown tables and a gnuplot script.

Usage (measure.sh calls these):
  perf_report.py reaction RESULTS_DIR
  perf_report.py cost RESULTS_DIR
  perf_report.py sweep RESULTS_DIR
  perf_report.py footprint FOOTPRINT_TXT
  perf_report.py startup RESULTS_DIR
  perf_report.py soak RESULTS_DIR             exits with 1 when a check of the soak fails
  perf_report.py plot RESULTS_DIR PNG         a gnuplot script on stdout
"""

import csv
import math
import os
import re
import statistics
import sys

TICK_MS = 100.0
# Budgets by how the window comes to match: titled so when it is created (the system reports
# the new window at once), or renamed to match later (found by the next sweep).
REACTION_BUDGETS = {
    "created": {"median": 2.0, "p95": 10.0, "max": 110.0, "undrawn": 0.95},
    "renamed": {"median": 60.0, "p95": 110.0, "max": 150.0},
}


def percentile(values, fraction):
    """Nearest-rank percentile: the smallest value with at least `fraction` of them at or below."""
    ordered = sorted(values)
    rank = max(1, math.ceil(fraction * len(ordered)))
    return ordered[rank - 1]


def read_csv(path):
    with open(path, newline="") as handle:
        lines = [line for line in handle if line.strip() and not line.startswith("#")]
    return list(csv.DictReader(lines))


def comment_values(path):
    """The "# key value key value" lines of a probe's output, as a dict of floats."""
    values = {}
    with open(path) as handle:
        for line in handle:
            if line.startswith("#"):
                words = line[1:].split()
                for key, value in zip(words[0::2], words[1::2]):
                    try:
                        values[key] = float(value)
                    except ValueError:
                        values[key] = value
    return values


def reaction_figures(path, column):
    rows = read_csv(path)
    closed = [row for row in rows if row["reaction_ms"]]
    times = [float(row[column]) for row in closed]
    return {
        "trials": len(rows),
        "missed": len(rows) - len(closed),
        "median": statistics.median(times),
        "p95": percentile(times, 0.95),
        "max": max(times),
        "min": min(times),
        "undrawn": sum(1 for row in closed if row["drawn_before_close"] == "0") / len(rows),
        "create": statistics.median(float(row["create_call_ms"]) for row in rows),
    }


# A window's own thread takes no message before CreateWindowExA returns, so for a window titled
# to match at its creation the budget counts from that return; from WM_NCCREATE is shown too.
REACTION_RUNS = (
    ("reaction.csv", "after_return_ms", None, "titled to match when created",
     "CreateWindowExA's return"),
    ("reaction.csv", "reaction_ms", "created", "titled to match when created",
     "its first message (WM_NCCREATE)"),
    ("reaction-renamed.csv", "reaction_ms", "renamed", "renamed 300 ms after its creation",
     "the rename (SetWindowTextA)"),
)


def reaction(results):
    print("How long a matching window stays open: from the moment it matches to the arrival of "
          "WM_CLOSE, on a desktop of 50 other windows, 100 keywords, each window opened at a "
          "random moment; and whether it was drawn (its first WM_PAINT) before.")
    print()
    print("| Window | From | Trials | Median | 95th percentile | Maximum | Minimum | Never closed "
          "| Closed before drawn |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    over = False
    create_ms = None
    for name, column, kind, label, origin in REACTION_RUNS:
        path = os.path.join(results, name)
        if not os.path.exists(path):
            continue
        f = reaction_figures(path, column)
        budget = REACTION_BUDGETS[kind or "created"]
        judged = kind is None or kind == "renamed"
        cells = []
        for key in ("median", "p95", "max"):
            mark = " ✗" if judged and f[key] > budget[key] else ""
            over = over or bool(mark)
            cells.append(f"{f[key]:.1f} ms{mark}")
        undrawn = f"{f['undrawn'] * 100:.1f} %"
        if judged and "undrawn" in budget and f["undrawn"] < budget["undrawn"]:
            undrawn += " ✗"
            over = True
        print(f"| {label} | {origin} | {f['trials']} | " + " | ".join(cells) +
              f" | {f['min']:.1f} ms | {f['missed']} | {undrawn} |")
        if judged:
            limits = " | ".join(f"{budget[key]:.0f} ms" for key in ("median", "p95", "max"))
            least = f"at least {budget['undrawn'] * 100:.0f} %" if "undrawn" in budget else ""
            print(f"| budget | | | {limits} | | 0 | {least} |")
        if kind == "created":
            create_ms = f["create"]
    print()
    if over:
        print("(✗: over budget.)")
    if create_ms is not None:
        print(f"Creating a visible window took {create_ms:.1f} ms (median, the whole "
              "CreateWindowExA call): the time from WM_NCCREATE is mostly that call's.")
    observed = os.path.join(results, "reaction-observed.csv")
    if os.path.exists(observed):
        rows = read_csv(observed)
        top = sorted(float(r["arrival_ms"]) for r in rows if r["window"] == "top")
        bottom = sorted(float(r["arrival_ms"]) for r in rows if r["window"] == "bottom")
        intervals = [b - a for a, b in zip(top, top[1:])]
        print()
        print(f"Sweeps seen from outside (a window that declines WM_CLOSE, 5 s): "
              f"{len(top)} requests, every {statistics.median(intervals):.1f} ms (median; "
              f"{min(intervals):.1f} to {max(intervals):.1f} ms).")


def enum_summary(path):
    rows = read_csv(path)
    totals = [float(row["enum_ms"]) + float(row["titles_ms"]) for row in rows]
    windows = statistics.median(int(row["windows"]) for row in rows)
    titles = [float(row["titles_ms"]) for row in rows]
    extra = comment_values(path)
    return {
        "windows": windows,
        "enum_ms": statistics.median(float(row["enum_ms"]) for row in rows),
        "titles_ms": statistics.median(titles),
        "total_ms": statistics.median(totals),
        "total_p95_ms": percentile(totals, 0.95),
        "per_title_us": 1000.0 * statistics.median(titles) / windows if windows else 0.0,
        "cpu_ms_per_sweep": extra.get("cpu_ms", 0.0) / len(rows),
        "wall_ms": extra.get("wall_ms", 0.0),
        "sweeps": len(rows),
    }


PROFILE_PARTS = (
    ("enum_ms", "EnumWindows"),
    ("titles_ms", "title reads"),
    ("list", "keyword list reads"),
    ("close_ms", "close requests"),
    ("do_events_ms", "pending messages"),
    ("own_ms", "our own work"),
)


def profile_summary(path):
    """Medians per sweep of a vt_sweep_profile run; "list" is the count and the items' texts."""
    rows = read_csv(path)
    summary = {}
    for key in rows[0]:
        if key != "sweep":
            summary[key] = statistics.median(float(row[key]) for row in rows)
    summary["list"] = statistics.median(
        float(row["list_count_ms"]) + float(row["list_text_ms"]) for row in rows)
    summary["total_p95_ms"] = percentile([float(row["total_ms"]) for row in rows], 0.95)
    extra = comment_values(path)
    summary["cpu_ms_per_sweep"] = extra.get("cpu_ms", 0.0) / len(rows)
    summary["list_messages"] = statistics.median(
        float(row["list_count_calls"]) + float(row["list_text_calls"]) for row in rows)
    return summary


def desktop_files(results, prefix, windows):
    paths = {kind: os.path.join(results, f"{prefix}-{kind}-{windows}.csv")
             for kind in ("profile", "enum")}
    return {kind: path for kind, path in paths.items() if os.path.exists(path)}


def split_table(results, prefix, desktops):
    print("| Other windows | Windows enumerated | " +
          " | ".join(label for _, label in PROFILE_PARTS) +
          " | List messages | Sweep (median) | (95th pct.) | Bare EnumWindows + titles probe |")
    print("|---:|---:|" + "---:|" * (len(PROFILE_PARTS) + 4))
    for windows in desktops:
        files = desktop_files(results, prefix, windows)
        if "profile" not in files:
            continue
        p = profile_summary(files["profile"])
        enumerated = enum_summary(files["enum"])["windows"] if "enum" in files else float("nan")
        cells = [f"{p[key]:.2f} ms" for key, _ in PROFILE_PARTS]
        bare = f"{enum_summary(files['enum'])['total_ms']:.2f} ms" if "enum" in files else ""
        print(f"| {windows} | {enumerated:.0f} | " + " | ".join(cells) +
              f" | {p['list_messages']:.0f} | {p['total_ms']:.2f} ms | "
              f"{p['total_p95_ms']:.2f} ms | {bare} |")


def read_native(results):
    """BM_Sweep/N/100 of the native benchmark: {N: milliseconds per sweep}."""
    path = os.path.join(results, "native-sweep.csv")
    figures = {}
    if not os.path.exists(path):
        return figures
    with open(path, newline="") as handle:
        lines = [line for line in handle if line.startswith("name") or line.startswith('"BM_')]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    for row in csv.DictReader(lines):
        match = re.match(r"BM_Sweep/(?:windows:)?(\d+)/(?:keywords:)?100$", row["name"])
        if match and row.get("real_time"):
            figures[int(match.group(1))] = float(row["real_time"]) * scale[row["time_unit"]]
    return figures


def sweep_desktops(results):
    path = os.path.join(results, "sweep-desktops.txt")
    if not os.path.exists(path):
        return []
    with open(path) as handle:
        return [int(line) for line in handle if line.strip()]


def sweep(results):
    print("Wall time of one sweep by Vintrell's code (the stand-in probe, one sweep a tick, "
          "100 keywords), medians, split between the platform's operations and our own work:")
    print()
    split_table(results, "sweep", sweep_desktops(results))
    native = read_native(results)
    if native:
        print()
        print("Native benchmark, one sweep against 100 keywords (our own work only): " +
              ", ".join(f"{n} windows {ms:.3f} ms" for n, ms in sorted(native.items())) + ".")


def read_cost(results):
    """{(phase, windows): {process: cpu_ms}} from cost.txt, and "seconds"."""
    table = {}
    with open(os.path.join(results, "cost.txt")) as handle:
        for line in handle:
            words = line.split()
            if len(words) == 2 and words[0] == "seconds":
                table["seconds"] = float(words[1])
            elif len(words) == 4:
                phase, windows, process, ms = words
                table.setdefault((phase, int(windows)), {})[process] = float(ms)
    return table


def cost(results):
    table = read_cost(results)
    seconds = table.pop("seconds", 60.0)
    sweeps = seconds * 1000.0 / TICK_MS
    desktops = sorted(windows for (phase, windows) in table if phase == "monitoring")
    print(f"CPU time over {seconds:.0f} s of monitoring with 100 keywords ({sweeps:.0f} ticks); "
          f"the other processes' figures are their CPU time while monitoring minus their CPU "
          f"time over {seconds:.0f} s of the same desktop without Vintrell.")
    print()
    print("| Other windows | Vintrell | = per tick | wineserver (Δ) | = per tick | explorer (Δ) "
          "| spawner (Δ) | Vintrell + wineserver, share of one core |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    for windows in desktops:
        busy = table[("monitoring", windows)]
        idle = table.get(("idle", windows), {})
        ours = busy.get("vintrell", 0.0)
        server = busy.get("wineserver", 0.0) - idle.get("wineserver", 0.0)
        explorer = busy.get("explorer", 0.0) - idle.get("explorer", 0.0)
        spawner = busy.get("spawner", 0.0) - idle.get("spawner", 0.0)
        share = 100.0 * (ours + server) / (seconds * 1000.0)
        print(f"| {windows} | {ours:.0f} ms | {ours / sweeps:.2f} ms | {server:.0f} ms | "
              f"{server / sweeps:.2f} ms | {explorer:.0f} ms | {spawner:.0f} ms | "
              f"{share:.1f} % |")
    print()
    print("Where a sweep's time goes on the same desktops (Vintrell's code in the stand-in "
          "probe, wall time per sweep, medians of 100 sweeps):")
    print()
    split_table(results, "cost", desktops)
    print()
    print("CPU per sweep: Vintrell.exe while monitoring, its code in the stand-in, and the bare "
          "platform calls:")
    print()
    print("| Other windows | Vintrell.exe | stand-in | bare EnumWindows + titles probe |")
    print("|---:|---:|---:|---:|")
    for windows in desktops:
        files = desktop_files(results, "cost", windows)
        ours = table[("monitoring", windows)].get("vintrell", 0.0) / sweeps
        standin = (f"{profile_summary(files['profile'])['cpu_ms_per_sweep']:.2f} ms"
                   if "profile" in files else "")
        bare = (f"{enum_summary(files['enum'])['cpu_ms_per_sweep']:.2f} ms"
                if "enum" in files else "")
        print(f"| {windows} | {ours:.2f} ms | {standin} | {bare} |")


def parse_footprint(path):
    values = {"memory": {}, "counts": {}, "live": {}}
    with open(path) as handle:
        for line in handle:
            words = line.split()
            if not words:
                continue
            key = words[0]
            if key in ("exe_bytes", "trivial_exe_bytes"):
                values[key] = int(words[1])
            elif key in ("trivial_memory", "idle_memory"):
                values[key] = (int(words[1]), int(words[2]))
            elif key == "idle_counts":
                values[key] = dict(word.split("=", 1) for word in words[1:] if "=" in word)
            elif key == "monitoring_memory":
                values["memory"][int(words[1])] = (int(words[2]), int(words[3]))
            elif key == "monitoring_counts":
                values["counts"][int(words[1])] = dict(
                    word.split("=", 1) for word in words[2:] if "=" in word)
            elif key == "live_counts":
                # Before monitoring ("idle") sorts first.
                step = -1 if words[1] == "idle" else int(words[1])
                values["live"][step] = dict(
                    word.split("=", 1) for word in words[2:] if "=" in word)
    return values


def footprint(path):
    v = parse_footprint(path)
    print(f"Vintrell.exe: {v['exe_bytes']:,} bytes "
          f"(the trivial window program built the same way: {v['trivial_exe_bytes']:,} bytes).")
    print()
    print("| Process | State | VmRSS | Private (clean + dirty) |")
    print("|---|---|---:|---:|")
    if "trivial_memory" in v:
        rss, private = v["trivial_memory"]
        print(f"| trivial window program (Wine's baseline) | idle | {rss:,} kB | {private:,} kB |")
    if "idle_memory" in v:
        rss, private = v["idle_memory"]
        print(f"| Vintrell | window shown, before monitoring | {rss:,} kB | {private:,} kB |")
    for cycles, (rss, private) in sorted(v["memory"].items()):
        print(f"| Vintrell | monitoring, after {cycles} Start/Stop cycles | {rss:,} kB | "
              f"{private:,} kB |")
    counts = v["counts"]
    if counts:
        keys = []
        for entry in counts.values():
            for key in entry:
                if key != "pid" and key not in keys:
                    keys.append(key)
        print()
        print("| Cycles | " + " | ".join(keys) + " |")
        print("|---:|" + "---:|" * len(keys))
        for cycles, entry in sorted(counts.items()):
            print(f"| {cycles} | " + " | ".join(entry.get(key, "") for key in keys) + " |")
    live = v["live"]
    if live:
        keys = list(next(iter(live.values())))
        print()
        print("Handles held by the program's own owners (the build with VINTRELL_COUNT_HANDLES):")
        print()
        print("| Cycles | " + " | ".join(key.replace("_", " ") for key in keys) + " |")
        print("|---|" + "---:|" * len(keys))
        for step, entry in sorted(live.items()):
            label = "before monitoring" if step < 0 else str(step)
            print(f"| {label} | " + " | ".join(entry.get(key, "") for key in keys) + " |")
    if len(v["memory"]) >= 2:
        ordered = sorted(v["memory"].items())
        first, last = ordered[0], ordered[-1]
        growth = last[1][1] - first[1][1]
        print()
        print(f"Private memory from {first[0]} to {last[0]} cycles: {growth:+,} kB.")


def startup_rows(path):
    rows = read_csv(path)
    return {
        "ready": [float(row["ready_ms"]) for row in rows],
        "first": [float(row["first_window_ms"]) for row in rows],
        "titled": [float(row["titled_ms"]) for row in rows],
        "shown": sum(int(row["ever_visible"]) for row in rows),
        "runs": len(rows),
    }


def startup(results):
    trivial = startup_rows(os.path.join(results, "startup-trivial.csv"))
    window = startup_rows(os.path.join(results, "startup-window.csv"))
    tray = startup_rows(os.path.join(results, "startup-tray.csv"))
    trivial_tray_path = os.path.join(results, "startup-trivial-tray.csv")
    trivial_tray = startup_rows(trivial_tray_path) if os.path.exists(trivial_tray_path) else None
    base = statistics.median(trivial["ready"])
    tray_base = statistics.median(trivial_tray["ready"]) if trivial_tray else base
    print(f"Time from CreateProcess to the window shown (or the tray icon present), "
          f"{trivial['runs']} starts each; Wine's own start is the trivial window program's.")
    print()
    print("| Program | Until | Median | Min | Max | Beyond Wine's own start (median − the "
          "trivial program's median, same end point) | First window exists (median) | "
          "Caption set (median) |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    runs = [("trivial window program", "window shown", trivial, base)]
    if trivial_tray:
        runs.append(("trivial program with a tray icon", "tray icon present", trivial_tray,
                     tray_base))
    runs += [("Vintrell", "window shown", window, base),
             ("Vintrell, start in tray", "tray icon present", tray, tray_base)]
    for label, until, r, reference in runs:
        median = statistics.median(r["ready"])
        print(f"| {label} | {until} | {median:.0f} ms | {min(r['ready']):.0f} ms | "
              f"{max(r['ready']):.0f} ms | {median - reference:+.0f} ms | "
              f"{statistics.median(r['first']):.0f} ms | {statistics.median(r['titled']):.0f} ms |")
    print()
    print(f"In the start-in-tray runs the main window was visible in {tray['shown']} of "
          f"{tray['runs']} starts.")
    split_path = os.path.join(results, "startup-split.txt")
    if os.path.exists(split_path):
        runs = []
        with open(split_path) as handle:
            for line in handle:
                words = line.split()[2:]
                runs.append({key: float(value) for key, value in zip(words[0::2], words[1::2])})
        if runs:
            def median_of(key):
                return statistics.median(run[key] for run in runs)
            print()
            print(f"Inside the program (its code in the stand-in probe, {len(runs)} starts, "
                  f"medians): creating the window and its controls "
                  f"{median_of('create_form_ms'):.1f} ms; Form_Load and showing the window "
                  f"{median_of('start_ms'):.1f} ms, of which filling the list with the 100 "
                  f"stored keywords {median_of('list_ms'):.1f} ms and showing the window "
                  f"{median_of('show_ms'):.1f} ms.")


# Private memory may move this much from minute 1 to the last: under this load Wine's heap
# moves in single steps of about 250 kB, either way, and then stays; a leak of 50 bytes a
# window opened (12,300 windows in ten minutes) would exceed it.
SOAK_MEMORY_SLACK_KB = 512
SOAK_MIN_RATE_SHARE = 0.95  # of the windows a second asked for
SOAK_OBJECT_KEYS = ("windows", "kernel_handles", "gdi_total")


def key_values(words):
    """"key value key value" words (or "key=value" ones) as a dict of strings."""
    if any("=" in word for word in words):
        return dict(word.split("=", 1) for word in words if "=" in word)
    return dict(zip(words[0::2], words[1::2]))


def parse_soak(results):
    v = {"samples": {}, "menus": [], "final": {}, "hung": [], "plain": {}, "load": {},
         "settings": {}}
    with open(os.path.join(results, "soak.txt")) as handle:
        for line in handle:
            words = line.split()
            if not words:
                continue
            key = words[0]
            if key in ("seconds", "probe_exit", "vintrell_alive"):
                v[key] = int(words[1])
            elif key == "build":
                v[key] = words[1]
            elif key == "sample":
                entry = v["samples"].setdefault(int(words[1]), {})
                kind = words[2]
                if kind == "gone":
                    entry["gone"] = True
                elif kind == "memory":
                    entry["rss"], entry["private"] = int(words[3]), int(words[4])
                elif kind == "cpu_ms":
                    entry["cpu_ms"] = int(words[3])
                else:
                    entry[kind] = key_values(words[3:])
            elif key == "menu":
                v["menus"].append({"round": words[1], **key_values(words[2:])})
            elif key == "final":
                v["final"] = key_values(words[1:])
    path = os.path.join(results, "soak-windows.csv")
    v["windows"] = read_csv(path)
    with open(path) as handle:
        for line in handle:
            words = line[1:].split() if line.startswith("#") else []
            if words and words[0] == "hung":
                v["hung"].append(key_values(words[1:]))
            elif words and words[0] in ("plain", "load", "settings"):
                v[words[0]] = key_values(words[1:])
    return v


def soak_objects(entry):
    """Windows, kernel handles and GDI objects of a sample; the GDI figure from Vintrell's own
    bitness's handle table where it was read."""
    objects = dict(entry.get("counts", {}))
    if "gdi_total" in entry.get("gdi", {}):
        objects["gdi_total"] = entry["gdi"]["gdi_total"]
    return {key: objects.get(key) for key in SOAK_OBJECT_KEYS}


def ms_figures(values):
    if not values:
        return "| | |"
    return (f"{statistics.median(values):.0f} ms | {percentile(values, 0.95):.0f} ms | "
            f"{max(values):.0f} ms")


def soak(results):
    v = parse_soak(results)
    settings, load, plain = v["settings"], v["load"], v["plain"]
    rows = v["windows"]
    by_kind = {kind: [row for row in rows if row["kind"] == kind]
               for kind in ("close", "decline", "hung")}
    missed = [row for row in rows if row["result"] != "closed"]
    checks = []

    def check(ok, text):
        checks.append((ok, text))

    rate = float(settings.get("rate", "nan"))
    per_second = float(load.get("per_second", 0))
    opened = int(load.get("opened", 0))
    print(f"Soak: {v.get('seconds', 0)} s of monitoring (Vintrell.exe, {v.get('build', '?')} "
          f"build), 100 keywords, a desktop of 50 other windows. Windows opened: {opened} in "
          f"{float(load.get('seconds', 0)):.0f} s, {per_second:.2f} a second (asked: "
          f"{rate:.0f}; an opening at most {float(load.get('max_lag_ms', 0)):.0f} ms late); "
          f"{len(rows)} matching, of which {len(by_kind['decline'])} declining WM_CLOSE twice "
          f"and {len(by_kind['hung'])} hung for {int(settings.get('hang_ms', 0)) / 1000:.0f} s; "
          f"{plain.get('opened', 0)} plain ones, ended by the probe after "
          f"{settings.get('plain_min_ms', '?')} to {settings.get('plain_max_ms', '?')} ms; "
          f"{len(v['menus'])} tray menu openings.")
    print()
    print("| Windows | Opened | Closed by Vintrell | Missed | First WM_CLOSE, median | 95th pct. "
          "| max | Gone, median | max | WM_CLOSE received, max |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    labels = {"close": "closing at the first WM_CLOSE", "decline": "declining twice",
              "hung": "hung (from creation)"}
    for kind, label in labels.items():
        group = by_kind[kind]
        first = [float(row["first_close_ms"]) for row in group if row["first_close_ms"]]
        gone = [float(row["gone_ms"]) for row in group]
        closed = sum(row["result"] == "closed" for row in group)
        requests = max((int(row["close_requests"]) for row in group), default=0)
        gone_cells = (f"{statistics.median(gone):.0f} ms | {max(gone):.0f} ms"
                      if gone else " | ")
        print(f"| {label} | {len(group)} | {closed} | {len(group) - closed} | "
              f"{ms_figures(first)} | {gone_cells} | {requests} |")
    print(f"| plain | {plain.get('opened', 0)} | asked to close: {plain.get('asked_to_close', 0)}"
          f" | | | | | | | |")
    check(rows and not missed and len(rows) == int(load.get("matching", -1)),
          f"every matching window closed by Vintrell ({len(rows) - len(missed)} of {len(rows)}; "
          f"missed: {len(missed)})")
    check(int(plain.get("asked_to_close", 1)) == 0 and int(plain.get("opened", 0)) > 0,
          f"no plain window asked to close ({plain.get('asked_to_close', '?')} of "
          f"{plain.get('opened', 0)})")
    check(per_second >= SOAK_MIN_RATE_SHARE * rate,
          f"load held: {per_second:.2f} windows a second, at least "
          f"{SOAK_MIN_RATE_SHARE * rate:.0f}")

    if v["hung"]:
        print()
        print("Hung windows: what Vintrell closed meanwhile (their sweeps wait up to 1 s for a "
              "window until Wine flags it hung):")
        print()
        print("| Window | Opened at | Hung for | Others closed meanwhile | Others opened meanwhile"
              " and missed | Slowest first WM_CLOSE meanwhile | Closed after its release |")
        print("|---:|---:|---:|---:|---:|---:|---:|")
        for hung in v["hung"]:
            after = hung["closed_after_release_ms"]
            print(f"| {hung['window']} | {float(hung['created_s']):.1f} s | "
                  f"{float(hung['hang_ms']) / 1000:.1f} s | {hung['others_closed']} | "
                  f"{hung['others_missed']} | {float(hung['others_max_first_close_ms']):.0f} ms | "
                  f"{after + ' ms' if after != 'none' else 'no'} |")
    survived = sum(hung.get("survived") == "1" for hung in v["hung"])
    check(v["hung"] and survived == len(v["hung"]) == len(by_kind["hung"]),
          f"Vintrell went on closing others beside every hung window ({survived} of "
          f"{len(v['hung'])})")

    samples = v["samples"]
    minutes = sorted(samples)
    wanted = list(range(0, v.get("seconds", 0) // 60 + 1))
    print()
    print("Vintrell's memory and objects, minute by minute (minute 0: monitoring, before the "
          "load):")
    print()
    live_keys = []
    for minute in minutes:
        for key in samples[minute].get("live", {}):
            if key not in live_keys:
                live_keys.append(key)
    print("| Minute | VmRSS | Private | CPU so far | windows | kernel handles | GDI objects | " +
          "".join(f"own {key.replace('_', ' ')} | " for key in live_keys))
    print("|---:|---:|---:|---:|---:|---:|---:|" + "---:|" * len(live_keys))
    for minute in minutes:
        entry = samples[minute]
        if entry.get("gone"):
            print(f"| {minute} | Vintrell had ended |")
            continue
        counts = soak_objects(entry)
        live = entry.get("live", {})
        print(f"| {minute} | {entry.get('rss', 0):,} kB | {entry.get('private', 0):,} kB | "
              f"{entry.get('cpu_ms', 0) / 1000:.1f} s | " +
              " | ".join(counts[key] or "?" for key in SOAK_OBJECT_KEYS) + " | " +
              "".join(f"{live.get(key, '?')} | " for key in live_keys))
    check(minutes == wanted and not any(samples[m].get("gone") for m in minutes) and
          v.get("vintrell_alive") == 1,
          f"Vintrell alive at every sample and at the end ({len(minutes)} samples of "
          f"{len(wanted)})")
    load_minutes = [m for m in minutes if m >= 1 and not samples[m].get("gone")]
    if len(load_minutes) >= 2:
        first, last = samples[load_minutes[0]], samples[load_minutes[-1]]
        span = f"minute {load_minutes[0]} to {load_minutes[-1]}"
        growth = last["private"] - first["private"]
        privates = [samples[m]["private"] for m in load_minutes]
        print()
        print(f"From {span}: private memory {growth:+,} kB (between {min(privates):,} and "
              f"{max(privates):,} kB), VmRSS {last['rss'] - first['rss']:+,} kB; CPU "
              f"{(last['cpu_ms'] - first['cpu_ms']) / 1000:.1f} s over "
              f"{load_minutes[-1] - load_minutes[0]} min.")
        check(abs(growth) <= SOAK_MEMORY_SLACK_KB,
              f"private memory flat from {span}: {growth:+,} kB (slack "
              f"±{SOAK_MEMORY_SLACK_KB} kB)")
        changed = []
        pairs = [(key, soak_objects(first)[key], soak_objects(last)[key])
                 for key in SOAK_OBJECT_KEYS]
        pairs += [(f"own {key}", first.get("live", {}).get(key), last.get("live", {}).get(key))
                  for key in live_keys]
        for key, before, after in pairs:
            if before is None or after is None or not before.isdigit() or before != after:
                changed.append(f"{key} {before} → {after}")
        if v.get("build") == "counting" and not live_keys:
            changed.append("no live counts")
        check(not changed, f"objects flat from {span}" +
              (": " + ", ".join(changed) if changed else " (windows, kernel handles, GDI "
               "objects" + (", own handles by kind" if live_keys else "") + ")"))
    else:
        check(False, "memory and objects flat: fewer than two samples under load "
              "(SOAK_SECONDS of at least 120 needed)")

    menus = v["menus"]
    print()
    print(f"Tray menu: {len(menus)} openings. Each: a right-click on the icon with xdotool, and "
          f"when Wine had not handed Vintrell the icon's callback within the wait, the callback "
          f"posted to Vintrell's window (the menu then due within about a sweep); let go with "
          f"xdotool (Escape or a click elsewhere), or when Wine did not deliver that within 2 s, "
          f"with Escape posted to the menu or WM_CANCELMODE to Vintrell's window; then a new "
          f"matching window must be asked to close. Times in ms; \"click seen\": from xdotool's "
          f"click to a low-level mouse hook seeing it (the click inside Wine's input).")
    print()
    print("| Round | At | Opened by | Shown after | Click seen | Let go by | after | Stray menu "
          "before | Late click's menu | Next match asked to close | Foreground before letting "
          "go | Vintrell's focus | In menu mode |")
    print("|---:|---:|---|---:|---:|---|---:|---|---|---:|---|---|---:|")
    for m in menus:
        stray = m.get("stray_closed_by", "") if m.get("stray_menu") == "1" else ""
        late = {"1": "shown, let go by " + m.get("late_closed_by", "?"), "0": "none in 8 s"}.get(
            m.get("late_click_menu"), "")
        print(f"| {m.get('round')} | {m.get('at_s')} s | {m.get('opened_by', 'none')} | "
              f"{m.get('shown_ms')} | {m.get('click_seen_ms', '')} | {m.get('closed_by')} | "
              f"{m.get('closed_ms', '')} | {stray} | {late} | {m.get('check_close_ms', '')} | "
              f"{m.get('bc_foreground_window', '')} | {m.get('bc_vt_focus', '')} | "
              f"{m.get('bc_vt_in_menu', '')} |")
    for m in menus:
        if "why" in m:
            print(f"- opening {m.get('round', '?')}: {m['why']}: Vintrell's window shown "
                  f"{m.get('window_visible')}, icon {m.get('icon')}, any menu "
                  f"{m.get('any_menu')}, foreground {m.get('foreground_window')}")
    opened_by = [m.get("opened_by") for m in menus]
    closed_by = [m.get("closed_by") for m in menus]
    by_click = [float(m["shown_ms"]) for m in menus if m.get("opened_by") == "xdotool"]
    by_post = [float(m["shown_ms"]) for m in menus if m.get("opened_by") == "posted"]
    seen = [float(m["click_seen_ms"]) for m in menus
            if m.get("click_seen_ms", "none") not in ("none", "")]
    print()
    print(f"Opened by the click {opened_by.count('xdotool')} times (shown "
          + (f"{statistics.median(by_click):.0f} ms after it, median; at most "
             f"{max(by_click):.0f} ms" if by_click else "never") + "), by the posted callback "
          f"{opened_by.count('posted')} times (shown "
          + (f"{statistics.median(by_post):.0f} ms after the post, median; at most "
             f"{max(by_post):.0f} ms" if by_post else "never") + "), not at all "
          f"{len(menus) - opened_by.count('xdotool') - opened_by.count('posted')} times; the "
          f"hook saw the click in " + (f"{statistics.median(seen):.0f} ms (median; at most "
                                       f"{max(seen):.0f} ms)" if seen else "none") +
          f". Let go by xdotool's Escape {closed_by.count('escape')} times, its click elsewhere "
          f"{closed_by.count('click')}, posted Escape {closed_by.count('posted-key')}, "
          f"WM_CANCELMODE {closed_by.count('posted-cancel')}, not at all "
          f"{closed_by.count('still-open') + closed_by.count('none')}; menus left open by an "
          f"earlier click: {sum(m.get('stray_menu') == '1' for m in menus)} before a round, "
          f"{sum(m.get('late_click_menu') == '1' for m in menus)} after one.")
    bad = [m for m in menus if m.get("opened_by") not in ("xdotool", "posted") or
           m.get("closed_by") in (None, "none", "still-open") or m.get("monitoring") != "1" or
           m.get("stray_closed_by") == "still-open" or m.get("late_closed_by") == "still-open"]
    check(menus and not bad, f"tray menu opened by Vintrell at every opening (on the click, or "
          f"on the callback posted to it within about a sweep), let go, and monitoring on after "
          f"each, a new matching window asked to close ({len(menus) - len(bad)} of "
          f"{len(menus)})")
    final = v["final"]
    ended = final.get("shown_ms", "none") != "none" and final.get("idle_ms", "none") != "none"
    if final:
        how = ("after the right-click" if final.get("opened_by") == "xdotool" else
               "after the callback was posted" if final.get("opened_by") == "posted" else "")
        print(f"At the end the tray menu opened {final.get('shown_ms')} ms {how} and its item, "
              f"clicked, showed the window in {final.get('idle_ms')} ms.")
    check(ended, "at the end the tray menu opens and Stop Monitoring works")
    check(v.get("probe_exit") == 0, f"the window probe's own account (exit {v.get('probe_exit')})")

    print()
    for ok, text in checks:
        print(f"- {'✓' if ok else '✗'} {text}")
    return 0 if all(ok for ok, _ in checks) else 1


def plot(results, png):
    series = {
        "Vintrell's sweep under Wine": [],
        "bare EnumWindows + GetWindowTextA under Wine": [],
        "our own work under Wine": [],
    }
    for windows in sweep_desktops(results):
        files = desktop_files(results, "sweep", windows)
        if "enum" not in files:
            continue
        x = enum_summary(files["enum"])["windows"]
        series["bare EnumWindows + GetWindowTextA under Wine"].append(
            (x, enum_summary(files["enum"])["total_ms"]))
        if "profile" in files:
            p = profile_summary(files["profile"])
            series["Vintrell's sweep under Wine"].append((x, p["total_ms"]))
            series["our own work under Wine"].append((x, p["own_ms"]))
    native = read_native(results)
    series["native benchmark: our own work (sim)"] = sorted(native.items())
    colours = ["#8e24aa", "#1e88e5", "#ef6c00", "#212121"]
    styles = {title: f"lc rgb '{colour}' lw 2 pt {index + 4}"
              for index, (title, colour) in enumerate(zip(series, colours))}
    series = {title: points for title, points in series.items() if points}

    print("set terminal pngcairo size 960,600 font 'sans,10'")
    print(f"set output '{png}'")
    print("set title 'Vintrell: one sweep against the number of windows (100 keywords)'")
    print("set xlabel 'windows on the desktop'")
    print("set ylabel 'milliseconds per sweep (median)'")
    print("set logscale xy")
    print("set format y '%g'")
    print("set yrange [0.01:1000]")
    print("set grid")
    print("set key top left")
    print("set arrow from graph 0, first 100 to graph 1, first 100 nohead dashtype 2")
    print("set label 'the 100 ms tick' at graph 0.8, first 140")
    print("plot " + ", ".join(
        f"'-' using 1:2 with linespoints {styles[title]} title \"{title}\"" for title in series))
    for points in series.values():
        for x, y in points:
            print(f"{x} {max(y, 1e-4)}")
        print("e")


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command, args = argv[1], argv[2:]
    commands = {
        "reaction": reaction,
        "cost": cost,
        "sweep": sweep,
        "footprint": footprint,
        "startup": startup,
        "soak": soak,
        "plot": plot,
    }
    if command not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    return commands[command](*args) or 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
