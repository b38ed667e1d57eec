#!/usr/bin/env python3
"""Turns the raw output of bench/wine/measure.sh into Markdown tables and a gnuplot script.

Usage (measure.sh calls these):
  perf_report.py reaction RESULTS_DIR
  perf_report.py cost RESULTS_DIR
  perf_report.py sweep RESULTS_DIR
  perf_report.py footprint FOOTPRINT_TXT
  perf_report.py startup RESULTS_DIR
  perf_report.py plot RESULTS_DIR PNG         a gnuplot script on stdout
"""

import csv
import math
import os
import re
import statistics
import sys

TICK_MS = 100.0
REACTION_BUDGET = {"median": 60.0, "p95": 110.0, "max": 150.0}


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


def reaction_figures(path):
    rows = read_csv(path)
    closed = [float(row["reaction_ms"]) for row in rows if row["reaction_ms"]]
    create = [float(row["create_call_ms"]) for row in rows]
    return {
        "trials": len(rows),
        "missed": len(rows) - len(closed),
        "median": statistics.median(closed),
        "p95": percentile(closed, 0.95),
        "max": max(closed),
        "min": min(closed),
        "mean": statistics.mean(closed),
        "create": statistics.median(create),
    }


REACTION_RUNS = (
    ("reaction.csv", "Vintrell.exe"),
)


def reaction(results):
    runs = [(label, reaction_figures(os.path.join(results, name)))
            for name, label in REACTION_RUNS if os.path.exists(os.path.join(results, name))]
    print("Time from a matching window's creation (its WM_NCCREATE) to the arrival of WM_CLOSE, "
          "on a desktop of 50 other windows, 100 keywords, the window opened at random moments.")
    print()
    print("| Monitor | Windows | Median | 95th percentile | Maximum | Minimum | Never closed |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    print(f"| budget | | {REACTION_BUDGET['median']:.0f} ms | {REACTION_BUDGET['p95']:.0f} ms | "
          f"{REACTION_BUDGET['max']:.0f} ms | | 0 |")
    for label, f in runs:
        cells = []
        for key in ("median", "p95", "max"):
            mark = "" if f[key] <= REACTION_BUDGET[key] else " ✗"
            cells.append(f"{f[key]:.1f} ms{mark}")
        print(f"| {label} | {f['trials']} | " + " | ".join(cells) +
              f" | {f['min']:.1f} ms | {f['missed']} |")
    if runs:
        over = any(f[key] > REACTION_BUDGET[key] for _, f in runs for key in REACTION_BUDGET)
        print()
        print(("(✗: over budget.) " if over else "") +
              f"Creating a visible window took {runs[0][1]['create']:.1f} ms "
              "(median, the whole CreateWindowExA call), not counted above.")
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
        "plot": plot,
    }
    if command not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    commands[command](*args)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
