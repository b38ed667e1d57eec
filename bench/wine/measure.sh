#!/bin/bash
# Measures Vintrell.exe under Wine: reaction time, cost while monitoring, footprint, start-up,
# and the platform's share of a sweep against the number of windows; and soaks it: ten minutes
# of monitoring under a steady load of windows and tray menu openings.
#
#   bench/wine/measure.sh reaction|cost|footprint|startup|sweep|plot|all|soak
#
# Builds the Windows tree (PRESET win32, or win64 where this machine runs no 32-bit programs;
# BUILD, default build/perf; the footprint also builds Vintrell.exe with VINTRELL_COUNT_HANDLES
# in $BUILD-counting), runs everything in a Wine prefix of its own under it with a virtual
# desktop, on the display or a private Xvfb, and writes raw data and a summary per measurement
# to $BUILD/wine-perf/results.
# Knobs: TRIALS (200), COST_SECONDS (60), CYCLES (200), STARTUP_RUNS (10),
#        COST_DESKTOPS ("50 200 1000"), SWEEP_DESKTOPS ("0 50 100 200 500 1000 2000"),
#        SOAK_SECONDS (600), SOAK_BUILD (counting, or plain for Vintrell.exe without the
#        live-handle count), NO_BUILD=1 to measure what is already built.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source scripts/wine-env.sh
if [[ -z ${PRESET:-} ]]; then
    PRESET=win64
    vt_runs_32bit && PRESET=win32
fi

BUILD=${BUILD:-build/perf}
TRIALS=${TRIALS:-200}
COST_SECONDS=${COST_SECONDS:-60}
CYCLES=${CYCLES:-200}
STARTUP_RUNS=${STARTUP_RUNS:-10}
COST_DESKTOPS=${COST_DESKTOPS:-"50 200 1000"}
SWEEP_DESKTOPS=${SWEEP_DESKTOPS:-"0 50 100 200 500 1000 2000"}
SOAK_SECONDS=${SOAK_SECONDS:-600}
SOAK_BUILD=${SOAK_BUILD:-counting}

build="$root/$BUILD"
work="$build/wine-perf"
results="$work/results"
bin="$build/bench/wine"
vintrell="$build/platform/win32/Vintrell.exe"
counting_build="$build-counting"
counting_vintrell="$counting_build/platform/win32/Vintrell.exe"
report="python3 $root/bench/wine/perf_report.py"

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# Ending the prefix's wineserver ends every Windows process this script started.
trap vt_cleanup EXIT

build_all() {
    [[ -n "${NO_BUILD:-}" ]] && return 0
    log "building $BUILD"
    cmake --preset "$PRESET" -B "$build" >/dev/null
    cmake --build "$build" --target Vintrell vt_spawner vt_reaction vt_enumprobe vt_driver \
        vt_launch vt_trivial vt_sweep_profile >/dev/null
}

# The prefix, with a virtual desktop as its default desktop, and one wineserver for the run.
start_wine() {
    mkdir -p "$results"
    vt_display
    vt_prefix "${PRESET#win}" "$work/prefix"
    "$WINESERVER" -p 2>/dev/null || true  # one may be running for this prefix already
    "$WINE" reg query 'HKCU' >/dev/null 2>&1  # brings up the desktop and its services
}

# Unix pids of this prefix's processes whose command line matches $1.
prefix_pids() {
    local pid
    for pid in $(pgrep -f "$1" || true); do
        # Wine's own binaries only, not the shell wrappers that start them.
        [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == */wine* ]] || continue
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
        fi
    done
}

wineserver_pid() { prefix_pids 'wineserver' | head -n1; }

# utime + stime of a process, in milliseconds.
cpu_ms() {
    local ticks
    ticks=$(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat")
    echo $((ticks * 1000 / $(getconf CLK_TCK)))
}

# "rss_kb private_kb" of a process.
memory_kb() {
    local rss private
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status")
    private=$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum }' \
        "/proc/$1/smaps_rollup")
    echo "$rss $private"
}

wine_reg_set() {
    "$WINE" reg add 'HKCU\Software\Tolvane\Vintrell' /v "$1" /d "$2" /f >/dev/null 2>&1
}

# 99 keywords that match nothing on the desktop, then the probe's: each one is looked at.
set_keywords() {
    local list="" separator='||||||||---|||' i
    for i in $(seq -w 1 99); do
        list+="Unmatched keyword $i$separator"
    done
    list+="VtProbe popup$separator"
    wine_reg_set Listview "$list"
}

set_start_options() {
    wine_reg_set "Windows Startup" "$1"
    wine_reg_set Minimized "$2"
}

# Starts N plain windows in one process; prints its unix pid.
spawn_desktop() {
    local count=$1 log_file="$work/spawner.log" pid
    : >"$log_file"
    setsid "$WINE" "$bin/vt_spawner.exe" --count "$count" </dev/null >"$log_file" 2>&1 &
    for _ in $(seq 600); do
        grep -q '^ready' "$log_file" && break
        sleep 0.1
    done
    grep -q '^ready' "$log_file" || { log "the spawner did not start"; exit 1; }
    pid=$(prefix_pids 'vt_spawner.exe' | head -n1)
    wait_quiet
    echo "$pid"
}

# Waits until this prefix's server, shell and spawner have settled after a change of the
# desktop (1,000 new windows keep the shell's taskbar busy for seconds): less than 3% of a core
# for two seconds in a row, or 120 s at most.
wait_quiet() {
    local pids=() pid before after quiet=0
    pids+=("$(wineserver_pid)")
    for pid in $(prefix_pids 'explorer.exe') $(prefix_pids 'vt_spawner.exe'); do
        pids+=("$pid")
    done
    for _ in $(seq 120); do
        before=0
        for pid in "${pids[@]}"; do before=$((before + $(cpu_ms "$pid"))); done
        sleep 1
        after=0
        for pid in "${pids[@]}"; do after=$((after + $(cpu_ms "$pid"))); done
        if [[ $((after - before)) -lt 30 ]]; then
            quiet=$((quiet + 1))
            [[ $quiet -ge 2 ]] && return 0
        else
            quiet=0
        fi
    done
    log "the desktop did not settle; measuring anyway"
}

# The machine's load when a measurement starts, kept beside its figures.
note_load() {
    echo "$1: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores" \
        >>"$results/load.txt"
}

stop_pid() {
    local pid=$1
    [[ -z "$pid" ]] && return 0
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

driver() { "$WINE" "$bin/vt_driver.exe" "$@"; }

# Starts Vintrell.exe (or the one given), waits for its window; prints its unix pid.
start_vintrell() {
    setsid "$WINE" "${1:-$vintrell}" </dev/null >"$work/vintrell.log" 2>&1 &
    driver wait-window 30000 >&2
    prefix_pids 'Vintrell.exe' | head -n1
}

# Closes Vintrell's main window (its shut-down path); kills it if it does not end.
quit_vintrell() {
    local pid=$1
    driver quit >/dev/null 2>&1 || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    stop_pid "$pid"
}

measure_reaction() {
    log "reaction: $TRIALS windows titled to match, and $TRIALS renamed to match 300 ms after" \
        "their creation, against a monitoring Vintrell on a desktop of 50 windows"
    set_keywords
    set_start_options Off Off
    local spawner vintrell_pid
    spawner=$(spawn_desktop 50)
    vintrell_pid=$(start_vintrell)
    driver start >/dev/null
    sleep 2
    note_load reaction
    "$WINE" "$bin/vt_reaction.exe" --trials "$TRIALS" >"$results/reaction.csv"
    "$WINE" "$bin/vt_reaction.exe" --trials "$TRIALS" --rename-after-ms 300 \
        >"$results/reaction-renamed.csv"
    "$WINE" "$bin/vt_reaction.exe" --observe-ms 5000 >"$results/reaction-observed.csv"
    quit_vintrell "$vintrell_pid"
    stop_pid "$spawner"
    $report reaction "$results" | tee "$results/reaction.md"
}

# CPU of each process of interest over $COST_SECONDS, as "name ms" lines.
cpu_over_interval() {
    local -n pids=$1
    local name before=() after=() i=0
    for name in "${!pids[@]}"; do before+=("$(cpu_ms "${pids[$name]}")"); done
    sleep "$COST_SECONDS"
    for name in "${!pids[@]}"; do after+=("$(cpu_ms "${pids[$name]}")"); done
    for name in "${!pids[@]}"; do
        echo "$name $((after[i] - before[i]))"
        i=$((i + 1))
    done
}

# The sweep as Vintrell's code makes it, split between the platform's calls and the rest; and
# the bare platform calls from a probe.
profile_desktop() {
    local windows=$1 sweeps=$2 prefix=$3
    "$WINE" "$bin/vt_sweep_profile.exe" --sweeps "$sweeps" >"$results/$prefix-profile-$windows.csv"
    "$WINE" "$bin/vt_enumprobe.exe" --sweeps "$sweeps" --interval-ms 100 \
        >"$results/$prefix-enum-$windows.csv"
}

measure_cost() {
    set_keywords
    set_start_options Off Off
    local windows spawner vintrell_pid out
    echo "seconds $COST_SECONDS" >"$results/cost.txt"
    for windows in $COST_DESKTOPS; do
        log "cost: desktop of $windows windows, ${COST_SECONDS}s idle, then monitoring"
        spawner=$(spawn_desktop "$windows")
        declare -A idle_pids=([wineserver]=$(wineserver_pid) [spawner]=$spawner
                              [explorer]=$(prefix_pids 'explorer.exe' | head -n1))
        note_load "cost $windows"
        out=$(cpu_over_interval idle_pids)
        sed "s/^/idle $windows /" <<<"$out" >>"$results/cost.txt"

        vintrell_pid=$(start_vintrell)
        driver start >/dev/null
        sleep 5
        declare -A busy_pids=([vintrell]=$vintrell_pid [wineserver]=$(wineserver_pid)
                              [spawner]=$spawner
                              [explorer]=$(prefix_pids 'explorer.exe' | head -n1))
        out=$(cpu_over_interval busy_pids)
        sed "s/^/monitoring $windows /" <<<"$out" >>"$results/cost.txt"
        quit_vintrell "$vintrell_pid"

        log "cost: where a sweep's time goes on $windows windows"
        profile_desktop "$windows" 100 cost
        stop_pid "$spawner"
        sleep 1
    done
    $report cost "$results" | tee "$results/cost.md"
}

measure_sweep() {
    local windows spawner
    set_keywords
    set_start_options Off Off
    : >"$results/sweep-desktops.txt"
    for windows in $SWEEP_DESKTOPS; do
        log "sweep: a desktop of $windows windows"
        spawner=""
        if [[ $windows -gt 0 ]]; then
            spawner=$(spawn_desktop "$windows")
        fi
        note_load "sweep $windows"
        profile_desktop "$windows" 50 sweep
        echo "$windows" >>"$results/sweep-desktops.txt"
        stop_pid "$spawner"
        sleep 1
    done
    native_sweeps
    $report sweep "$results" | tee "$results/sweep.md"
}

# The native benchmark's sweeps against 100 keywords, from an optimised build of its own.
native_sweeps() {
    local native="$build-native"
    if ! { cmake --preset native-release -B "$native" >/dev/null 2>&1 &&
        cmake --build "$native" --target vintrell_bench >/dev/null 2>&1; }; then
        log "the native benchmark did not build: the plot shows the Wine figures only"
        return 0
    fi
    "$native/bench/vintrell_bench" --benchmark_filter='BM_Sweep/.*100$' \
        --benchmark_format=csv >"$results/native-sweep.csv" 2>/dev/null || true
}

# Vintrell.exe with the live-handle count, in a build tree of its own.
build_counting() {
    [[ -n "${NO_BUILD:-}" ]] && return 0
    log "building $BUILD-counting (VINTRELL_COUNT_HANDLES)"
    cmake --preset "$PRESET" -B "$counting_build" -DVINTRELL_COUNT_HANDLES=ON >/dev/null
    cmake --build "$counting_build" --target Vintrell >/dev/null
}

# Starts Vintrell.exe ($1), lets it monitor, and drives $CYCLES Start/Stop cycles; `$2 STEP PID`
# records what it holds before monitoring (STEP "idle"), while monitoring before the cycles
# (0), and after 50, 100 and 200 of them.
run_cycles() {
    local exe=$1 record=$2 vintrell_pid done_cycles=0 batch
    vintrell_pid=$(start_vintrell "$exe")
    sleep 2
    $record idle "$vintrell_pid"
    driver start >/dev/null
    sleep 10
    $record 0 "$vintrell_pid"
    for batch in 50 50 100 200; do
        [[ $done_cycles -ge $CYCLES ]] && break
        [[ $batch -gt $((CYCLES - done_cycles)) ]] && batch=$((CYCLES - done_cycles))
        driver stop >/dev/null
        driver cycles "$batch" >>"$results/footprint-cycles.csv"
        done_cycles=$((done_cycles + batch))
        driver start >/dev/null
        sleep 10
        $record "$done_cycles" "$vintrell_pid"
    done
    quit_vintrell "$vintrell_pid"
}

# Memory, and the objects counted from outside the process.
record_objects() {
    if [[ $1 == idle ]]; then
        echo "idle_memory $(memory_kb "$2")"
        echo "idle_counts $(driver counts)"
    else
        echo "monitoring_memory $1 $(memory_kb "$2")"
        echo "monitoring_counts $1 $(driver counts)"
    fi >>"$results/footprint.txt"
}

# The counting build's own count of the handles it holds, by kind.
record_live() {
    echo "live_counts $1 $(driver live)" >>"$results/footprint.txt"
}

measure_footprint() {
    log "footprint: size, memory while monitoring, objects, before and after $CYCLES cycles"
    build_counting
    set_keywords
    set_start_options Off Off
    local spawner trivial_pid out="$results/footprint.txt"
    : >"$out"
    : >"$results/footprint-cycles.csv"
    echo "exe_bytes $(stat -c %s "$vintrell")" >>"$out"
    echo "trivial_exe_bytes $(stat -c %s "$bin/vt_trivial.exe")" >>"$out"

    setsid "$WINE" "$bin/vt_trivial.exe" </dev/null >/dev/null 2>&1 &
    sleep 3
    trivial_pid=$(prefix_pids 'vt_trivial.exe' | head -n1)
    echo "trivial_memory $(memory_kb "$trivial_pid")" >>"$out"
    stop_pid "$trivial_pid"

    spawner=$(spawn_desktop 50)
    run_cycles "$vintrell" record_objects
    log "footprint: the same cycles with the counting build, for its live handles"
    run_cycles "$counting_vintrell" record_live
    stop_pid "$spawner"
    $report footprint "$out" | tee "$results/footprint.md"
}

measure_startup() {
    log "start-up: $STARTUP_RUNS starts each of a trivial window program and of Vintrell"
    set_keywords
    local exe_dir
    exe_dir=$("$WINE" winepath -w "$bin")
    note_load startup
    "$WINE" "$bin/vt_launch.exe" --exe "$exe_dir\\vt_trivial.exe" --title VtTrivial \
        --runs "$STARTUP_RUNS" >"$results/startup-trivial.csv"
    "$WINE" "$bin/vt_launch.exe" --exe "$exe_dir\\vt_trivial.exe" --args tray --title VtTrivial \
        --until tray --runs "$STARTUP_RUNS" >"$results/startup-trivial-tray.csv"
    set_start_options Off Off
    "$WINE" "$bin/vt_launch.exe" --exe "$("$WINE" winepath -w "$vintrell")" --title Vintrell \
        --runs "$STARTUP_RUNS" >"$results/startup-window.csv"
    set_start_options On On
    "$WINE" "$bin/vt_launch.exe" --exe "$("$WINE" winepath -w "$vintrell")" --title Vintrell --until tray \
        --runs "$STARTUP_RUNS" >"$results/startup-tray.csv"
    set_start_options Off Off
    # Inside the program: its code in the stand-in, timed from within.
    local run
    : >"$results/startup-split.txt"
    for run in $(seq "$STARTUP_RUNS"); do
        "$WINE" "$bin/vt_sweep_profile.exe" --sweeps 1 | grep '^# startup' \
            >>"$results/startup-split.txt"
    done
    $report startup "$results" | tee "$results/startup.md"
}

# ---- Soak

soak_probe() { "$WINE" "$bin/vt_soak.exe" "$@" </dev/null 2>>"$work/soak-probe.log" | tr -d '\r'; }

# Memory, CPU and objects of Vintrell at minute $1 of the soak, and its own count of handles
# when it is the counting build.
record_soak_sample() {
    local minute=$1 pid=$2 out="$results/soak.txt" counts live
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "sample $minute gone" >>"$out"
        return 0
    fi
    echo "sample $minute memory $(memory_kb "$pid")" >>"$out"
    echo "sample $minute cpu_ms $(cpu_ms "$pid")" >>"$out"
    counts=$(driver counts 2>>"$work/soak-probe.log" | tr -d '\r') || counts=failed
    echo "sample $minute counts $counts" >>"$out"
    # The counts' GDI figure reads the 32-bit PEB's field; this one reads Vintrell's bitness's.
    counts=$(soak_probe gdi) || counts=failed
    echo "sample $minute gdi $counts" >>"$out"
    if [[ $SOAK_BUILD == counting ]]; then
        live=$(driver live 2>>"$work/soak-probe.log" | tr -d '\r') || live=failed
        echo "sample $minute live $live" >>"$out"
    fi
}

# Right-clicks Vintrell's notification icon (the only one: at the taskbar's right end, where
# Wine draws 20-pixel icon cells from the right edge) with a probe already watching for its
# menu and, through a low-level mouse hook, for the click entering Wine's input. Under load Wine
# may hand the icon's callback to Vintrell seconds after the click, or not within the wait:
# then the probe posts Vintrell the callback the shell would have (a right-button release), and
# the menu must show within about a sweep. Prints "shown_ms N x y w h opened_by xdotool|posted
# click_seen_ms C [click_wait_ms W] [posted_ms P]" (N from the click or from the post, C from
# the click to the hook, W how long the click was waited for), or "why REASON ..." and fails.
SOAK_CLICK_WAIT_MS=${SOAK_CLICK_WAIT_MS:-10000}
SOAK_POSTED_MENU_MS=${SOAK_POSTED_MENU_MS:-1500}
soak_open_menu() {
    local tray x y w h visible clicked watch="$work/soak-menu-watch.txt" watch_pid at seen
    local click_seen=none posted
    tray=$(soak_probe tray) || { echo "why no-taskbar"; return 1; }
    read -r x y w h visible <<<"$tray"
    [[ $visible == 1 ]] || { echo "why taskbar-hidden"; return 1; }
    : >"$watch"
    "$WINE" "$bin/vt_soak.exe" wait menu "$SOAK_CLICK_WAIT_MS" --watch-click </dev/null \
        >"$watch" 2>>"$work/soak-probe.log" &
    watch_pid=$!
    for _ in $(seq 200); do
        grep -q '^polling' "$watch" && break
        sleep 0.05
    done
    clicked=$(date +%s%3N)
    xdotool mousemove $((x + w - 10)) $((y + h / 2)) click 3 || true
    if wait "$watch_pid"; then
        at=$(tr -d '\r' <"$watch" | awk '$1 == "at" { print $2 }')
        seen=$(tr -d '\r' <"$watch" | awk '$1 == "at" { for (i = 2; i < NF; i++) if ($i == "click_at") print $(i + 1) }')
        [[ $seen =~ ^[0-9]+$ ]] && click_seen=$((seen - clicked))
        echo "shown_ms $((at - clicked)) $(tr -d '\r' <"$watch" | awk '$1 == "at" { print $4, $5, $6, $7 }') opened_by xdotool click_seen_ms $click_seen"
        return 0
    fi
    seen=$(tr -d '\r' <"$watch" | awk '$1 == "at" { for (i = 2; i < NF; i++) if ($i == "click_at") print $(i + 1) }')
    [[ $seen =~ ^[0-9]+$ ]] && click_seen=$((seen - clicked))
    # The click did not reach Vintrell in time: hand it the callback directly.
    if posted=$(soak_probe wait menu "$SOAK_POSTED_MENU_MS" --post-callback); then
        read -r at <<<"$(awk '$1 == "at" { print $2 }' <<<"$posted")"
        local sent
        sent=$(awk '$1 == "posted_at" { print $2 }' <<<"$posted")
        echo "shown_ms $((at - sent)) $(awk '$1 == "at" { print $4, $5, $6, $7 }' <<<"$posted") opened_by posted click_seen_ms $click_seen click_wait_ms $SOAK_CLICK_WAIT_MS posted_ms $((at - sent))"
        return 0
    fi
    echo "why not-shown click_seen_ms $click_seen click_wait_ms $SOAK_CLICK_WAIT_MS posted_ms none $(soak_probe state || echo state-unknown 1)"
    return 1
}

# "key value" pairs on stdin with $1 put before every key.
prefix_keys() { awk -v p="$1" '{ for (i = 1; i < NF; i += 2) printf "%s%s%s %s", (i > 1 ? " " : ""), p, $i, $(i + 1) }'; }

# Lets Vintrell's menu go: first as a person does, with xdotool ($1: "escape click" or "click
# escape"), then, when Wine does not deliver those in time, by messages posted past the input
# queue (Escape to the menu, then WM_CANCELMODE to Vintrell's window). Prints "closed_by WAY
# closed_ms N" (N from that way's action to the menu gone) or "closed_by still-open".
soak_close_menu() {
    local way sent at out
    for way in $1; do
        sent=$(date +%s%3N)
        if [[ $way == escape ]]; then
            xdotool key Escape || true
        else
            xdotool mousemove 900 150 click 1 || true
        fi
        if out=$(soak_probe wait no-menu 2000); then
            at=$(awk '$1 == "at" { print $2 }' <<<"$out")
            echo "closed_by $way closed_ms $((at - sent))"
            return 0
        fi
    done
    for way in key cancel; do
        if out=$(soak_probe close-menu "$way" 2000); then
            echo "closed_by posted-$way closed_ms $(awk '$1 == "sent_at" { print $4 - $2 }' <<<"$out")"
            return 0
        fi
    done
    echo "closed_by still-open"
    return 1
}

# One opening of the tray menu during the soak. A menu still shown from an earlier click that
# Wine handed over late is noted and let go first. Then: opens the menu (the click, or the
# posted callback), notes where the system has keyboard input, holds it a second, lets it go
# (Escape first in odd rounds, a click on the empty desktop first in even ones; the soak's
# windows keep to the left), and checks that Vintrell still monitors: window hidden, icon
# present, and a new matching window asked to close. When the menu was opened by the posted
# callback, waits a while for the click's own late menu and lets that go too.
soak_menu_round() {
    local round=$1 at=$2 opened shown=none monitoring=0 why="" ways stray="" closed late=""
    local state check close_ms=none
    if soak_probe wait menu 0 >/dev/null; then
        stray=" stray_menu 1 $(soak_close_menu "" | prefix_keys stray_)"
    fi
    if opened=$(soak_open_menu); then
        shown=$(awk '{ print $2 }' <<<"$opened")
        opened=$(cut -d' ' -f7- <<<"$opened")
        sleep 1
        state=$(soak_probe state | prefix_keys bc_)
        # Wine hands a typed key to the thread whose window's X window has the X focus, not to
        # the foreground thread: which X window that is tells whether Escape can reach the menu.
        state+=" bc_x_focus $(xdotool getwindowfocus getwindowname 2>/dev/null | tr -c 'A-Za-z0-9\n' _ | head -n1)"
        ways="escape click"
        ((round % 2 == 0)) && ways="click escape"
        closed=$(soak_close_menu "$ways")
        if [[ $opened == *"opened_by posted"* ]]; then
            if soak_probe wait menu 8000 >/dev/null; then
                late=" late_click_menu 1 $(soak_close_menu "" | prefix_keys late_)"
            else
                late=" late_click_menu 0"
            fi
        fi
    else
        why=" $opened"
        opened=""
        closed="closed_by none"
    fi
    xdotool mousemove 900 150 || true
    if soak_probe wait monitoring 3000 >/dev/null; then
        check=$(soak_probe closes 3000) && monitoring=1
        close_ms=$(awk '$1 == "close_ms" { print $2 }' <<<"$check")
    fi
    echo "menu $round at_s $at shown_ms $shown $opened $closed monitoring $monitoring" \
        "check_close_ms ${close_ms:-none}$stray$late${state:+ $state}$why" >>"$results/soak.txt"
}

# At the end: the tray menu must still open, and its item, clicked, stop monitoring.
soak_final_round() {
    local opened shown=none idle_ms=none why="" x y w h clicked at
    if soak_probe wait menu 0 >/dev/null; then
        why=" stray_menu 1 $(soak_close_menu "" | prefix_keys stray_)"
    fi
    if opened=$(soak_open_menu); then
        shown=$(awk '{ print $2 }' <<<"$opened")
        read -r x y w h <<<"$(awk '{ print $3, $4, $5, $6 }' <<<"$opened")"
        why+=" $(cut -d' ' -f7- <<<"$opened")"
        clicked=$(date +%s%3N)
        xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1 || true
        if at=$(soak_probe wait idle 5000 | awk '$1 == "at" { print $2 }'); then
            idle_ms=$((at - clicked))
        fi
    else
        why+=" $opened"
    fi
    echo "final shown_ms $shown idle_ms $idle_ms$why" >>"$results/soak.txt"
}

measure_soak() {
    log "soak: ${SOAK_SECONDS}s of monitoring while windows open and close at 20 a second"
    local exe=$vintrell vintrell_pid spawner soak_pid soak_rc=0 next_sample=60 next_menu=15
    local round=0 out="$results/soak.txt"
    if [[ $SOAK_BUILD == counting ]]; then
        build_counting
        exe=$counting_vintrell
    fi
    set_keywords
    set_start_options Off Off
    : >"$out"
    : >"$work/soak-probe.log"
    echo "seconds $SOAK_SECONDS" >>"$out"
    echo "build $SOAK_BUILD" >>"$out"
    spawner=$(spawn_desktop 50)
    vintrell_pid=$(start_vintrell "$exe")
    driver start >/dev/null
    sleep 2
    note_load "soak start"
    record_soak_sample 0 "$vintrell_pid"
    # The windows go on 15 s past the last sample, so that it is taken under the load.
    SECONDS=0
    setsid -w "$WINE" "$bin/vt_soak.exe" run --seconds $((SOAK_SECONDS + 15)) </dev/null \
        >"$results/soak-windows.csv" 2>>"$work/soak-probe.log" &
    soak_pid=$!
    while kill -0 "$soak_pid" 2>/dev/null; do
        if ((next_sample <= SOAK_SECONDS && SECONDS >= next_sample)); then
            record_soak_sample $((next_sample / 60)) "$vintrell_pid"
            next_sample=$((next_sample + 60))
        elif ((next_menu < SOAK_SECONDS && SECONDS >= next_menu)); then
            round=$((round + 1))
            soak_menu_round "$round" "$SECONDS"
            next_menu=$((next_menu + 30))
        else
            sleep 0.5
        fi
    done
    wait "$soak_pid" || soak_rc=$?
    echo "probe_exit $soak_rc" >>"$out"
    note_load "soak end"
    if kill -0 "$vintrell_pid" 2>/dev/null; then
        echo "vintrell_alive 1" >>"$out"
        soak_final_round
    else
        echo "vintrell_alive 0" >>"$out"
    fi
    quit_vintrell "$vintrell_pid"
    stop_pid "$spawner"
    $report soak "$results" | tee "$results/soak.md"
}

plot() {
    $report plot "$results" "$root/docs/wine-sweep-time.png" | gnuplot
    log "wrote docs/wine-sweep-time.png"
}

main() {
    local what=${1:-all}
    case $what in
        reaction | cost | footprint | startup | sweep | plot | all | soak) ;;
        *)
            echo "usage: $0 reaction|cost|footprint|startup|sweep|plot|all|soak" >&2
            exit 2
            ;;
    esac
    build_all
    [[ $what == soak && -z ${NO_BUILD:-} ]] && cmake --build "$build" --target vt_soak >/dev/null
    [[ $what == plot ]] && { plot; return; }
    start_wine
    case $what in
        reaction) measure_reaction ;;
        cost) measure_cost ;;
        footprint) measure_footprint ;;
        startup) measure_startup ;;
        sweep) measure_sweep && plot ;;
        soak) measure_soak ;;
        all)
            measure_startup
            measure_reaction
            measure_footprint
            measure_cost
            measure_sweep
            plot
            ;;
    esac
}

main "$@"
