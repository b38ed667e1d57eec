#!/bin/bash
# Measures Vintrell.exe under Wine, one subcommand a measurement (docs/performance.md):
#   reaction    how soon a matching window, or each of a burst of ten, is asked to close (4 min)
#   cost        CPU while monitoring 50, 200 and 1,000 windows (8 min)
#   footprint   memory and objects over 200 Start/Stop cycles (3 min)
#   soak        ten minutes under a steady load of windows and tray menu openings (12 min)
#   all         the first three
# Builds the Windows tree (PRESET: win32, or win64 where this machine runs no 32-bit programs)
# into BUILD (build/perf), runs it in a Wine prefix of its own there with a virtual desktop,
# and leaves raw data, summaries and the load average of each step in BUILD/wine-perf/results.
# Each step first waits (CALM_WAIT seconds, 1200, at most) for the load average to fall to
# CALM_LOAD (2.0).
# Knobs: TRIALS (200), BURSTS (50), COST_SECONDS (60), COST_DESKTOPS ("50 200 1000"),
#        CYCLES (200), SOAK_SECONDS (600), NO_BUILD=1 to measure what is built already,
#        VINTRELL=another Vintrell.exe to measure instead of the one built.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/../.."
root=$PWD
source scripts/wine-env.sh
if [[ -z ${PRESET:-} ]]; then
    PRESET=win64
    vt_runs_32bit && PRESET=win32
fi
build="$root/${BUILD:-build/perf}"
work="$build/wine-perf"
results="$work/results"
bin="$build/bench/wine"
test_window="$build/tests/targets/test_window.exe"
vintrell=${VINTRELL:-$build/platform/win32/Vintrell.exe}
report="python3 $root/bench/wine/report.py"
TRIALS=${TRIALS:-200}
COST_SECONDS=${COST_SECONDS:-60}
CYCLES=${CYCLES:-200}
SOAK_SECONDS=${SOAK_SECONDS:-600}
BURSTS=${BURSTS:-50}
CALM_LOAD=${CALM_LOAD:-2.0}
CALM_WAIT=${CALM_WAIT:-1200}

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# Ending the prefix's wineserver ends every Windows process this script started.
trap vt_cleanup EXIT

# Unix pids of this prefix's Wine processes whose command line matches $1.
prefix_pids() {
    local pid
    for pid in $(pgrep -f "$1" || true); do
        [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == */wine* ]] || continue
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" &&
            echo "$pid"
    done
    return 0
}

# utime + stime of a process, in milliseconds.
cpu_ms() {
    awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print int(($12 + $13) * 1000 / hz) }' \
        "/proc/$1/stat"
}

cpu_sum() { for pid; do cpu_ms "$pid"; done | awk '{ sum += $1 } END { print sum + 0 }'; }

# "rss_kb private_kb" of a process.
memory_kb() {
    echo "$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status")" \
        "$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum }' "/proc/$1/smaps_rollup")"
}

# Notes the machine's load average, after waiting (CALM_WAIT seconds at most) for it to fall to
# CALM_LOAD unless $2 is "now".
note_load() {
    [[ ${2:-} == now ]] || for _ in $(seq $((CALM_WAIT / 10))); do
        awk -v calm="$CALM_LOAD" '{ exit !($1 <= calm) }' /proc/loadavg && break
        sleep 10
    done
    echo "$1: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores" >>"$results/load.txt"
}

wine_run() { "$WINE" "$bin/$1.exe" "${@:2}" </dev/null | tr -d '\r'; }
driver() { wine_run vt_driver "$@"; }
test_windows() { "$WINE" "$test_window" "$@" </dev/null | tr -d '\r'; }

# 99 keywords that match nothing, then the probes' own: each is looked at in every sweep.
set_keywords() {
    local list="" separator='||||||||---|||' i value
    for i in $(seq -w 1 99); do list+="Unmatched keyword $i$separator"; done
    list+="VtProbe popup$separator"
    for value in "Listview=$list" "Windows Startup=Off" "Minimized=Off"; do
        "$WINE" reg add 'HKCU\Software\Tolvane\Vintrell' /v "${value%%=*}" /d "${value#*=}" /f \
            >/dev/null 2>&1
    done
}

# Fills the desktop with N plain windows and waits until the server and the shell have
# settled (1,000 new windows keep the taskbar busy for seconds); prints the spawner's pid.
spawn_desktop() {
    local log_file="$work/spawner.log" pids before after quiet=0
    setsid "$WINE" "$test_window" plain --count "$1" </dev/null >"$log_file" 2>&1 &
    for _ in $(seq 600); do
        grep -q '^ready' "$log_file" && break
        sleep 0.1
    done
    grep -q '^ready' "$log_file" || { log "the spawner did not start"; exit 1; }
    pids=$(prefix_pids 'wineserver|explorer.exe|test_window.exe')
    for _ in $(seq 120); do  # quiet: under 3% of a core for two seconds in a row
        # shellcheck disable=SC2086  # one word a process
        before=$(cpu_sum $pids)
        sleep 1
        # shellcheck disable=SC2086
        after=$(cpu_sum $pids)
        if ((after - before < 30)); then ((++quiet >= 2)) && break; else quiet=0; fi
    done
    prefix_pids 'test_window.exe' | head -n1
}

stop_pid() {
    kill "$1" 2>/dev/null || true
    timeout 5 tail --pid="$1" -f /dev/null || kill -9 "$1" 2>/dev/null || true
}

# Starts Vintrell.exe, waits for its window, and starts monitoring; prints its unix pid. With
# "traced", Wine's "gdi" debug channel logs each GDI object the process makes and deletes with
# the count it holds then; objects() reads the last (Wine answers 0 to GetGuiResources).
start_monitoring() {
    if [[ ${1:-} == traced ]]; then
        WINEDEBUG=trace+gdi setsid "$WINE" "$vintrell" </dev/null 2>&1 >/dev/null |
            grep --line-buffered -oE '[0-9]+/65536$' >"$work/gdi.log" &
    else
        setsid "$WINE" "$vintrell" </dev/null >/dev/null 2>&1 &
    fi
    driver wait-window 30000 >&2
    driver start >/dev/null
    prefix_pids 'Vintrell.exe' | head -n1
}

# "rss_kb private_kb name=count ...": memory from /proc and the objects counted from outside.
objects() {
    echo "$(memory_kb "$1") $(driver counts) wine_gdi_objects=$(tail -n1 "$work/gdi.log" | cut -d/ -f1)"
}

# Closes Vintrell's main window (its shut-down path), or kills it when it does not end.
quit_vintrell() {
    driver quit >/dev/null 2>&1 || true
    timeout 5 tail --pid="$1" -f /dev/null || stop_pid "$1"
}

measure_reaction() {
    log "reaction: $TRIALS windows titled to match, $TRIALS renamed to match 300 ms after" \
        "their creation, and $BURSTS bursts of ten, on a desktop of 50 windows"
    local spawner vintrell_pid
    spawner=$(spawn_desktop 50)
    vintrell_pid=$(start_monitoring)
    sleep 2
    note_load reaction
    test_windows reaction --trials "$TRIALS" >"$results/reaction-created.csv"
    test_windows reaction --trials "$TRIALS" --rename-after-ms 300 >"$results/reaction-renamed.csv"
    # A window never asked fails the run; the summary counts it.
    test_windows reaction --trials "$BURSTS" --burst 10 >"$results/reaction-burst.csv" || true
    quit_vintrell "$vintrell_pid"
    stop_pid "$spawner"
    $report reaction "$results" | tee "$results/reaction.md"
}

# "NAME CPU_MS" over COST_SECONDS for each "NAME=PID" argument.
cpu_over_interval() {
    local entry before=()
    for entry in "$@"; do before+=("$(cpu_ms "${entry#*=}")"); done
    sleep "$COST_SECONDS"
    for entry in "$@"; do
        echo "${entry%=*} $(($(cpu_ms "${entry#*=}") - before[0]))"
        before=("${before[@]:1}")
    done
}

measure_cost() {
    local windows spawner vintrell_pid others
    echo "seconds $COST_SECONDS" >"$results/cost.txt"
    for windows in ${COST_DESKTOPS:-50 200 1000}; do
        log "cost: a desktop of $windows windows, ${COST_SECONDS}s without Vintrell, then monitoring"
        spawner=$(spawn_desktop "$windows")
        others="wineserver=$(prefix_pids wineserver | head -n1) spawner=$spawner"
        others+=" explorer=$(prefix_pids explorer.exe | head -n1)"
        note_load "cost $windows"
        # shellcheck disable=SC2086  # one word a process
        cpu_over_interval $others | sed "s/^/idle $windows /" >>"$results/cost.txt"
        vintrell_pid=$(start_monitoring)
        sleep 5
        # shellcheck disable=SC2086
        cpu_over_interval vintrell="$vintrell_pid" $others |
            sed "s/^/monitoring $windows /" >>"$results/cost.txt"
        note_load "cost $windows, end" now
        quit_vintrell "$vintrell_pid"
        stop_pid "$spawner"
    done
    $report cost "$results" | tee "$results/cost.md"
}

measure_footprint() {
    log "footprint: memory and objects while monitoring, before and after $CYCLES cycles"
    local spawner vintrell_pid done_cycles=0 step
    echo "exe_bytes $(stat -c %s "$vintrell")" >"$results/footprint.txt"
    : >"$results/footprint-cycles.csv"
    spawner=$(spawn_desktop 50)
    note_load footprint
    vintrell_pid=$(start_monitoring traced)
    # One cycle first: the window's first showing makes what Wine then keeps (cached DCs, ...).
    driver stop >/dev/null
    driver start >/dev/null
    sleep 10
    echo "0 $(objects "$vintrell_pid")" >>"$results/footprint.txt"
    for step in $((CYCLES / 4)) $((CYCLES / 2)) "$CYCLES"; do  # 50, 100 and 200 cycles
        driver stop >/dev/null
        driver cycles $((step - done_cycles)) >>"$results/footprint-cycles.csv"
        done_cycles=$step
        driver start >/dev/null
        sleep 10
        echo "$step $(objects "$vintrell_pid")" >>"$results/footprint.txt"
    done
    quit_vintrell "$vintrell_pid"
    stop_pid "$spawner"
    $report footprint "$results" | tee "$results/footprint.md"
}

# Ten minutes of monitoring while test_window soak opens 20 windows a second: memory, CPU and
# objects each minute, and the tray menu opened every 30 s.
measure_soak() {
    log "soak: ${SOAK_SECONDS}s of monitoring while windows open and close at 20 a second"
    local out="$results/soak.txt" spawner vintrell_pid soak_pid rc=0 next_sample=0 next_menu=15
    : >"$out"
    spawner=$(spawn_desktop 50)
    note_load "soak start"
    vintrell_pid=$(start_monitoring traced)
    sleep 2
    # The windows go on 15 s past the last sample, so that it is taken under the load.
    SECONDS=0
    setsid -w "$WINE" "$test_window" soak --seconds $((SOAK_SECONDS + 15)) </dev/null \
        >"$results/soak-windows.csv" 2>"$work/soak.log" &
    soak_pid=$!
    while kill -0 "$soak_pid" 2>/dev/null; do
        if ((next_sample <= SOAK_SECONDS && SECONDS >= next_sample)); then
            echo "sample $((next_sample / 60)) $(cpu_ms "$vintrell_pid") $(objects "$vintrell_pid")" \
                >>"$out"
            note_load "soak minute $((next_sample / 60))" now
            next_sample=$((next_sample + 60))
        elif ((next_menu < SOAK_SECONDS && SECONDS >= next_menu)); then
            # Then a new matching window, which Vintrell must still close.
            echo "menu $(wine_run vt_soak menu 2>>"$work/soak.log") check_close_ms $(
                test_windows close "VtProbe popup round check" 3000 | sed -n 's/^closed_after_ms //p' |
                    grep . || echo -1)" >>"$out"
            next_menu=$((next_menu + 30))
        else
            sleep 0.5
        fi
    done
    wait "$soak_pid" || rc=$?
    echo "load_exit $rc" >>"$out"
    echo "final $(wine_run vt_soak menu --stop 2>>"$work/soak.log")" >>"$out"
    quit_vintrell "$vintrell_pid"
    stop_pid "$spawner"
    $report soak "$results" | tee "$results/soak.md"
}

what=${1:-}
if [[ ! $what =~ ^(reaction|cost|footprint|soak|all)$ ]]; then
    echo "usage: $0 reaction|cost|footprint|soak|all" >&2
    exit 2
fi
if [[ -z ${NO_BUILD:-} ]]; then
    log "building $build ($PRESET)"
    cmake --preset "$PRESET" -B "$build" >/dev/null
    cmake --build "$build" --target Vintrell test_window vt_driver vt_soak >/dev/null
fi
mkdir -p "$results"
rm -f "$results/load.txt"  # each summary lists the loads of its own run
vt_display
vt_prefix "${PRESET#win}" "$work/prefix"
"$WINESERVER" -p 2>/dev/null || true     # one server for the run; one may be running already
"$WINE" reg query 'HKCU' >/dev/null 2>&1  # brings up the desktop and its services
set_keywords
if [[ $what == all ]]; then
    measure_reaction
    measure_footprint
    measure_cost
else
    "measure_$what"
fi
