# shellcheck shell=bash
# The suite's Wine: its files, the X display and the prefix (through scripts/wine-env.sh),
# the probe, programs started beside the harness, and registry reads. Sourced by run.sh after
# VINTRELL_EXE, BIN_DIR and SOURCE_DIR are set.

WORK=$BIN_DIR/work
PREFIX=$WORK/wineprefix
SHOTS=$WORK/screenshots
LOGS=$WORK/logs
WINE_LOG=$LOGS/wine.log
# A folder name with a blank, and another program beside Vintrell that a folder listing yields
# first: the Run value must still name Vintrell.exe, quoted.
APP_DIR="$WORK/Vintrell Folder"
APP_EXE=$APP_DIR/Vintrell.exe
OTHER_EXE=$APP_DIR/Aardvark.exe
PROBE=$BIN_DIR/e2e_probe.exe
TARGETS=(probe tray_tool)

SETTINGS_KEY='HKCU\Software\Tolvane\Vintrell'
RUN_KEYS=('HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
          'HKCU\Software\Microsoft\Windows\CurrentVersion\Run')

# shellcheck source=../../../scripts/wine-env.sh
source "$SOURCE_DIR/../../scripts/wine-env.sh"

# One Xvfb (unless DISPLAY answers), one prefix of the program's bitness whose default desktop
# is a virtual one, and its wineserver, for the whole run. Sets APP_WINDOWS_PATH.
e2e_setup() {
    local tool target
    for tool in xdotool import convert realpath Xvfb; do
        command -v "$tool" >/dev/null || die_setup "$tool is not installed"
    done
    [[ -f $VINTRELL_EXE ]] || die_setup "no program at $VINTRELL_EXE"
    for target in "${TARGETS[@]}"; do
        [[ -f $BIN_DIR/e2e_$target.exe ]] || die_setup "e2e_$target.exe is missing in $BIN_DIR"
    done
    [[ -f $TEST_WINDOW ]] || die_setup "no program at $TEST_WINDOW"

    mkdir -p "$WORK" "$APP_DIR"
    rm -rf "$SHOTS" "$LOGS"
    mkdir -p "$SHOTS" "$LOGS"
    cp "$VINTRELL_EXE" "$APP_EXE" || die_setup "cannot copy Vintrell.exe"
    cp "$TEST_WINDOW" "$OTHER_EXE" || die_setup "cannot copy the other program"

    if [[ -n ${DISPLAY:-} ]] && vt_display_answers; then
        local screen_w screen_h
        read -r screen_w screen_h < <(xdotool getdisplaygeometry)
        ((screen_w >= 1024 && screen_h >= 768)) ||
            die_setup "display $DISPLAY is smaller than 1024x768"
        log "e2e: using display $DISPLAY"
    else
        vt_display "$LOGS/xvfb.log" || die_setup "no Xvfb display could be started"
        log "e2e: started Xvfb on $DISPLAY"
    fi

    local bits probe_bits
    bits=$(vt_pe_bits "$VINTRELL_EXE") || die_setup "$VINTRELL_EXE is no Windows program"
    probe_bits=$(vt_pe_bits "$PROBE")
    [[ $probe_bits == "$bits" ]] || die_setup "the probe is $probe_bits-bit, Vintrell.exe $bits-bit"
    trap vt_cleanup EXIT

    # Another prefix's virtual desktop (the Windows tests' one, say) may still be closing on a
    # shared display; ours must be the only one, or it could be hidden under it.
    local i
    for i in $(seq 100); do
        xdotool search --name 'Wine desktop' >/dev/null 2>&1 || break
        ((i == 100)) && log "e2e: another Wine desktop is still open on $DISPLAY; going on"
        sleep 0.1
    done

    local setup_start=$SECONDS fresh=fresh
    [[ ${E2E_KEEP_PREFIX:-0} == 1 ]] && fresh=""
    vt_prefix "$bits" "$PREFIX" $fresh 2>>"$WINE_LOG" || die_setup "wineboot failed (see $WINE_LOG)"
    # The first program starts the wineserver and the desktop; its output must go to a file,
    # as they inherit it and live on.
    "$WINE" "$PROBE" list </dev/null >"$LOGS/first-start.txt" 2>>"$WINE_LOG" ||
        die_setup "the probe does not run under Wine (see $WINE_LOG)"
    timeout 20 xdotool search --sync --name 'Wine desktop' >/dev/null 2>&1 ||
        die_setup "no Wine virtual desktop appeared on $DISPLAY"
    "$WINE" winepath -w "$APP_EXE" </dev/null >"$LOGS/winepath.txt" 2>>"$WINE_LOG"
    APP_WINDOWS_PATH=$(tr -d '\r' <"$LOGS/winepath.txt")
    [[ $APP_WINDOWS_PATH == *Vintrell.exe ]] || die_setup "winepath gave '$APP_WINDOWS_PATH'"
    log "e2e: $bits-bit Wine ready in $((SECONDS - setup_start)) s; Vintrell at $APP_WINDOWS_PATH"
}

# ---- the probe

declare -gA P  # the last probe's report: key -> value
PROBE_OUT=$WORK/probe.out

# Runs the probe and loads its report into P. Output goes through a file: programs that the
# probe starts inherit it and must not keep the harness waiting.
probe() {
    local rc
    "$WINE" "$PROBE" "$@" </dev/null >"$PROBE_OUT" 2>>"$WINE_LOG"
    rc=$?
    P=()
    local key value
    while IFS=$'\t' read -r key value; do
        P[$key]=${value%$'\r'}
    done <"$PROBE_OUT"
    return $rc
}

# The value of a key of the last report, or the given default.
pv() { printf '%s' "${P[$1]-${2-}}"; }

# ---- programs beside the harness

# Starts a Windows program detached from the harness; its output goes to the given file.
start_detached() {
    local out=$1
    shift
    setsid "$WINE" "$@" </dev/null >"$out" 2>>"$WINE_LOG" &
}

# Waits until the file has a line matching the pattern.
wait_for_line() {
    local file=$1 pattern=$2 timeout_ds=${3:-50} i
    for ((i = 0; i < timeout_ds; i++)); do
        grep -q -- "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# start_target OUT READY WHAT PROGRAM ARGS...: starts one of the suite's target programs and
# waits up to 8 s for its line matching READY; fails the scenario, naming WHAT, when none comes.
start_target() {
    local out=$1 ready=$2 what=$3
    shift 3
    start_detached "$out" "$@"
    wait_for_line "$out" "$ready" 80 || {
        fail "$what did not start"
        return 1
    }
}

# ---- the registry

# REG_VALUE = the data of a registry value; fails when the value is absent.
reg_get() {
    local key=$1 name=$2 line prefix="    $2    "
    REG_VALUE=""
    "$WINE" reg query "$key" /v "$name" </dev/null >"$WORK/reg.out" 2>/dev/null || return 1
    while IFS= read -r line; do
        line=${line%$'\r'}
        if [[ $line == "$prefix"REG_* ]]; then
            line=${line#"$prefix"}
            REG_VALUE=${line#*    }
            return 0
        fi
    done <"$WORK/reg.out"
    return 1
}

reg_delete() { "$WINE" reg delete "$@" /f </dev/null >/dev/null 2>&1; }

# A stored setting (or its absence, with the expected value "<absent>").
check_setting() {
    local name=$1 expected=$2 seen="<absent>"
    reg_get "$SETTINGS_KEY" "$name" && seen=$REG_VALUE
    expect_eq "setting \"$name\"" "$expected" "$seen"
}

expect_setting() { eventually check_setting "$@"; }
