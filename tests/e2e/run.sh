#!/bin/bash
# End-to-end suite: drives the real Vintrell.exe under Wine the way a person does.
#
# Usage: run.sh VINTRELL_EXE BINARY_DIR
#   VINTRELL_EXE  the program under test
#   BINARY_DIR    where the suite's own programs (e2e_*.exe) were built; everything the suite
#                 writes (Wine prefix, screenshots, logs) goes under BINARY_DIR/work
# Environment:
#   DISPLAY          an X display of at least 1024x768 to use; without one (or when it does not
#                    answer) the suite starts its own Xvfb
#   E2E_ONLY         scenario numbers to run, e.g. "3 7" (default: all)
#   E2E_KEEP_PREFIX  1 reuses the prefix of the previous run instead of making a fresh one
#   E2E_WINDOW_PICTURE  a path where scenario 1 also saves the picture of the main window
#                    (the README's docs/main-window.png); it is always saved as
#                    BINARY_DIR/work/main-window.png
#
# How it sees and acts:
# - One Xvfb, one Wine prefix and one wineserver for the whole run. The prefix's default
#   desktop is a 1024x768 Wine virtual desktop, so windows get frames and there is a taskbar
#   with a notification area. The desktop's X window sits at the X screen's origin, so Windows
#   screen coordinates are X root coordinates.
# - xdotool moves the mouse, clicks and types; nothing is posted to Vintrell behind its back,
#   except the re-created taskbar (scenario 10), which Wine cannot stage for real.
# - Where things are: X sees the virtual desktop and Wine's own X windows for top-level
#   windows, but not controls, message boxes' texts or the tray. The suite's probe
#   (targets/probe.cpp) reports window, control, list item, dialog, menu and taskbar
#   rectangles in screen coordinates through the Win32 API, and only reads. Scenario 1
#   compares those rectangles with resources/layout.h (twips * DPI / 1440 pixels, rounded,
#   from the client area's top-left corner).
# - The registry is read with `wine reg query`.
# - Every scenario starts from a known state: no Vintrell or target running, the settings key
#   HKCU\Software\Tolvane\Vintrell deleted, the Run values removed. Each takes a screenshot
#   (ImageMagick `import -window root`) under BINARY_DIR/work/screenshots.
set -uo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 VINTRELL_EXE BINARY_DIR" >&2
    exit 2
fi

SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
VINTRELL_EXE=$(realpath "$1")
BIN_DIR=$(realpath "$2")
LAYOUT_H=$SOURCE_DIR/../../resources/layout.h
WORK=$BIN_DIR/work
PREFIX=$WORK/wineprefix
SHOTS=$WORK/screenshots
LOGS=$WORK/logs
# A folder name with a blank, and another program beside Vintrell that a folder listing yields
# first: the Run value must still name Vintrell.exe, quoted.
APP_DIR="$WORK/Vintrell Folder"
APP_EXE=$APP_DIR/Vintrell.exe
OTHER_EXE=$APP_DIR/Aardvark.exe
PROBE=$BIN_DIR/e2e_probe.exe

SETTINGS_KEY='HKCU\Software\Tolvane\Vintrell'
RUN_KEYS=('HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
          'HKCU\Software\Microsoft\Windows\CurrentVersion\Run')
SEPARATOR='||||||||---|||'
LIST_TIP='Double-click item to remove it. Move bar to right and out of window to reveal full names.'
TRAY_TIP='Right-click here to access the menu'
HELP_TEXT='This program will automatically close a window if it contains the letters (name) you add.'
HELP_TEXT+=$'\r\r''Please try the following demo:'$'\r\r''Add the word'$'\r\r''calc'
HELP_TEXT+=$'\r\r''to this program.'$'\r\r''Click "Start Monitoring"'$'\r\r'
HELP_TEXT+='Go to Start > Run and type in calc and hit enter.'$'\r\r'
HELP_TEXT+='The Microsoft Calculator will open and be immediately closed by this program.'

PASSED=0
FAILED=0

log() { printf '%s\n' "$*" >&2; }

die_setup() {
    log "e2e setup failed: $*"
    echo "0 passed, 12 failed"
    exit 1
}

# shellcheck source=../../scripts/wine-env.sh
source "$SOURCE_DIR/../../scripts/wine-env.sh"
for tool in xdotool import convert realpath Xvfb; do
    command -v "$tool" >/dev/null || die_setup "$tool is not installed"
done
[[ -f $VINTRELL_EXE ]] || die_setup "no program at $VINTRELL_EXE"
for target in probe tray_tool close_probe decline_close hung_window save_prompt; do
    [[ -f $BIN_DIR/e2e_$target.exe ]] || die_setup "e2e_$target.exe is missing in $BIN_DIR"
done
[[ -f $LAYOUT_H ]] || die_setup "no layout table at $LAYOUT_H"

mkdir -p "$WORK" "$APP_DIR"
rm -rf "$SHOTS" "$LOGS"
mkdir -p "$SHOTS" "$LOGS"
cp "$VINTRELL_EXE" "$APP_EXE" || die_setup "cannot copy Vintrell.exe"
cp "$BIN_DIR/e2e_close_probe.exe" "$OTHER_EXE" || die_setup "cannot copy the other program"

# ---------------------------------------------------------------------------------------
# The display and Wine: a prefix of the suite's own, of the program's bitness, whose default
# desktop is a virtual one

if [[ -n ${DISPLAY:-} ]] && vt_display_answers; then
    read -r screen_w screen_h < <(xdotool getdisplaygeometry)
    ((screen_w >= 1024 && screen_h >= 768)) || die_setup "display $DISPLAY is smaller than 1024x768"
    log "e2e: using display $DISPLAY"
else
    vt_display "$LOGS/xvfb.log" || die_setup "no Xvfb display could be started"
    log "e2e: started Xvfb on $DISPLAY"
fi

BITS=$(vt_pe_bits "$VINTRELL_EXE") || die_setup "$VINTRELL_EXE is no Windows program"
PROBE_BITS=$(vt_pe_bits "$PROBE")
[[ $PROBE_BITS == "$BITS" ]] || die_setup "the probe is $PROBE_BITS-bit, Vintrell.exe $BITS-bit"
WINE_LOG=$LOGS/wine.log
trap vt_cleanup EXIT

# Another prefix's virtual desktop (the Windows tests' one, say) may still be closing on a
# shared display; ours must be the only one, or it could be hidden under it.
for i in $(seq 100); do
    xdotool search --name 'Wine desktop' >/dev/null 2>&1 || break
    ((i == 100)) && log "e2e: another Wine desktop is still open on $DISPLAY; going on"
    sleep 0.1
done

setup_start=$SECONDS
fresh=fresh
[[ ${E2E_KEEP_PREFIX:-0} == 1 ]] && fresh=""
vt_prefix "$BITS" "$PREFIX" $fresh 2>>"$WINE_LOG" || die_setup "wineboot failed (see $WINE_LOG)"
# The first program starts the wineserver and the desktop; its output must go to a file, as
# they inherit it and live on.
"$WINE" "$PROBE" list </dev/null >"$LOGS/first-start.txt" 2>>"$WINE_LOG" ||
    die_setup "the probe does not run under Wine (see $WINE_LOG)"
timeout 20 xdotool search --sync --name 'Wine desktop' >/dev/null 2>&1 ||
    die_setup "no Wine virtual desktop appeared on $DISPLAY"
"$WINE" winepath -w "$APP_EXE" </dev/null >"$LOGS/winepath.txt" 2>>"$WINE_LOG"
APP_WINDOWS_PATH=$(tr -d '\r' <"$LOGS/winepath.txt")
[[ $APP_WINDOWS_PATH == *Vintrell.exe ]] || die_setup "winepath gave '$APP_WINDOWS_PATH'"
log "e2e: $BITS-bit Wine ready in $((SECONDS - setup_start)) s; Vintrell at $APP_WINDOWS_PATH"

# ---------------------------------------------------------------------------------------
# Helpers

declare -A P  # the last probe's report: key -> value
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

# Values are shown with their control characters escaped, as the probe reports texts.
escaped() {
    local s=${1//\\/\\\\}
    s=${s//$'\r'/\\r}
    s=${s//$'\n'/\\n}
    printf '%s' "${s//$'\t'/\\t}"
}

joined_list() {
    local item out=""
    for item in "$@"; do out+=$item$SEPARATOR; done
    printf '%s' "$out"
}

# ---- scenario bookkeeping

FAILS=()
NOTES=()
SHOT_PATHS=()
SCENARIO_TAG=""

fail() { FAILS+=("$*"); }

expect_eq() {
    local what=$1 expected=$2 seen=$3
    [[ $expected == "$seen" ]] && return 0
    fail "$what: expected [$(escaped "$expected")], saw [$(escaped "$seen")]"
    return 1
}

# Runs a check again until it passes or about 3 s are over: Vintrell answers a click when its
# queue gets to it. Only the last try's failures count.
eventually() {
    local saved=("${FAILS[@]}") i
    for ((i = 0; i < 25; i++)); do
        FAILS=()
        "$@"
        if ((${#FAILS[@]} == 0)); then
            FAILS=("${saved[@]}")
            return 0
        fi
        sleep 0.1
    done
    FAILS=("${saved[@]}" "${FAILS[@]}")
    return 1
}

# A stored setting (or its absence, with the expected value "<absent>").
check_setting() {
    local name=$1 expected=$2 seen="<absent>"
    reg_get "$SETTINGS_KEY" "$name" && seen=$REG_VALUE
    expect_eq "setting \"$name\"" "$expected" "$seen"
}

expect_setting() { eventually check_setting "$@"; }

shot() {
    local path=$SHOTS/$SCENARIO_TAG${1:+-$1}.png
    import -window root "$path" 2>>"$LOGS/import.log"
    SHOT_PATHS+=("$path")
}

# Seconds since an earlier $EPOCHREALTIME, to a tenth.
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }

centre_of() {
    local x y w h
    read -r x y w h <<<"$1"
    echo "$((x + w / 2)) $((y + h / 2))"
}

click_at() { xdotool mousemove "$1" "$2" click 1; }

# ---- Vintrell

declare -A M  # the main window's last report

read_main() {
    probe main || return 1
    M=()
    local key
    for key in "${!P[@]}"; do M[$key]=${P[$key]}; done
}

# Starts Vintrell and waits for its window, shown with its caption.
vt_start() {
    start_detached "$LOGS/vintrell-$SCENARIO_TAG.log" "$APP_EXE"
    if ! probe wait-main visible 20000; then
        fail "Vintrell's window did not show within 20 s (window found: $(pv main.found)," \
            "caption [$(pv main.caption)], visible $(pv main.visible))"
        return 1
    fi
    read_main
}

# Clicks the centre of a control of the main window, named by caption or class.
click_control() {
    local rect=${M[ctl.$1.screen]-}
    if [[ -z $rect ]]; then
        fail "no control \"$1\" on Vintrell's window"
        return 1
    fi
    # shellcheck disable=SC2046
    click_at $(centre_of "$rect")
}

type_text() { xdotool type --delay 30 -- "$1"; }

# Types a keyword into the entry box and clicks Add, as the help says.
add_keyword() {
    click_control Edit || return 1
    type_text "$1"
    click_control Add
}

# The list shows exactly the given items, and "Listview" stores them.
check_list() {
    local step=$1
    shift
    read_main || {
        fail "$step: Vintrell's window is gone"
        return 1
    }
    local -a seen=()
    local i
    for ((i = 1; i <= ${M[list.count]:-0}; i++)); do seen+=("${M[list.item.$i]-}"); done
    expect_eq "$step: list items" "$(joined_list "$@")" "$(joined_list "${seen[@]}")"
    check_setting Listview "$(joined_list "$@")"
}

expect_list() { eventually check_list "$@"; }

# A value of the main window's report, e.g. a control's check state.
check_main() {
    local what=$1 key=$2 expected=$3
    read_main
    expect_eq "$what" "$expected" "${M[$key]-<missing>}"
}

expect_main() { eventually check_main "$@"; }

# Starts monitoring with the button and waits for the window to go and the icon to show.
start_monitoring() {
    click_control "Start Monitoring" || return 1
    if ! probe wait-main hidden 5000; then
        fail "Start Monitoring: the window did not disappear (visible $(pv main.visible))"
        return 1
    fi
    if ! probe wait-tray 1 5000; then
        fail "Start Monitoring: no notification icon appeared (taskbar visible $(pv tray.visible))"
        return 1
    fi
}

# Right-clicks the notification icon; Vintrell's is the only one, at the taskbar's right end
# (Wine draws 20-pixel icon cells from the right edge).
open_tray_menu() {
    if ! probe wait-tray 1 3000; then
        fail "no notification icon to right-click"
        return 1
    fi
    local x y w h
    read -r x y w h <<<"$(pv tray.screen)"
    xdotool mousemove $((x + w - 10)) $((y + h / 2)) click 3
    if ! probe wait-menu "${1:-4000}"; then
        fail "a right-click on the notification icon opened no menu"
        return 1
    fi
}

# Chooses the menu's only item, "Stop Monitoring - Show Main Window".
choose_stop_monitoring() {
    # shellcheck disable=SC2046
    click_at $(centre_of "$(pv menu.1.screen)")
    if ! probe wait-main visible 5000; then
        fail "after Stop Monitoring the window did not show (visible $(pv main.visible))"
        shot stop-failed
        return 1
    fi
    read_main
}

# Clicks a button of the topmost message box; the probe's last report must list it.
click_dialog_button() {
    local rect=${P[dialog.1.button.$1]-}
    if [[ -z $rect ]]; then
        fail "the message box has no button \"$1\""
        return 1
    fi
    # shellcheck disable=SC2046
    click_at $(centre_of "$rect")
}

# Checks the topmost message box: caption "Vintrell", the text, the buttons.
expect_message_box() {
    local step=$1 text=$2 buttons=$3
    if ! probe wait-dialog 5000; then
        fail "$step: no message box appeared"
        return 1
    fi
    expect_eq "$step: message box caption" "Vintrell" "$(pv dialog.1.caption)"
    expect_eq "$step: message box process" "Vintrell.exe" "$(pv dialog.1.process)"
    expect_eq "$step: message box text" "$(escaped "$text")" "$(pv dialog.1.text)"
    local key seen=()
    for key in "${!P[@]}"; do
        [[ $key == dialog.1.button.* ]] && seen+=("${key#dialog.1.button.}")
    done
    expect_eq "$step: message box buttons" "$buttons" "$(printf '%s\n' "${seen[@]}" | sort | xargs)"
}

# Closes the main window with its title-bar close button.
click_close_button() {
    local point=${M[main.close_button]-}
    [[ -n $point ]] || {
        fail "the window reports no title bar"
        return 1
    }
    # shellcheck disable=SC2086
    click_at $point
}

# The known state every scenario starts from.
reset_state() {
    probe kill Vintrell.exe Aardvark.exe notepad.exe winemine.exe clock.exe \
        e2e_close_probe.exe e2e_decline_close.exe e2e_hung_window.exe e2e_save_prompt.exe
    reg_delete "$SETTINGS_KEY"
    local key
    for key in "${RUN_KEYS[@]}"; do
        reg_delete "$key" /v Vintrell.exe
        reg_delete "$key" /v Aardvark.exe
    done
    xdotool mousemove 1000 300
    # Wine drops the icons of ended programs; the taskbar hides when none is left.
    probe wait-tray 0 3000 || log "e2e: the taskbar still shows an icon after the reset"
}

run_scenario() {
    local number=$1 slug=$2 title=$3 function=$4
    if [[ -n ${E2E_ONLY:-} && " $E2E_ONLY " != *" $number "* ]]; then
        return
    fi
    SCENARIO_TAG=$(printf '%02d-%s' "$number" "$slug")
    FAILS=()
    NOTES=()
    SHOT_PATHS=()
    local start=$EPOCHREALTIME
    reset_state
    "$function"
    ((${#SHOT_PATHS[@]} > 0)) || shot
    local took
    took=$(seconds_since "$start")
    local message
    if ((${#FAILS[@]} == 0)); then
        PASSED=$((PASSED + 1))
        printf 'PASS  %2d. %s (%s s)\n' "$number" "$title" "$took"
        for message in "${NOTES[@]}"; do printf '        note: %s\n' "$message"; done
    else
        FAILED=$((FAILED + 1))
        printf 'FAIL  %2d. %s (%s s)\n' "$number" "$title" "$took"
        for message in "${FAILS[@]}"; do printf '        %s\n' "$message"; done
        for message in "${NOTES[@]}"; do printf '        note: %s\n' "$message"; done
        printf '        screenshot: %s\n' "${SHOT_PATHS[@]}"
    fi
}

# What a scenario saw that is worth reporting whether it passes or not.
note() { NOTES+=("$*"); }

# Starts Wine's notepad the given number of times, one after the other, and expects each to
# be closed within 300 ms of its window showing (or before it showed).
expect_notepad_closed() {
    local step=$1 runs=$2 run seen=()
    probe launch-watch 3000 "$runs" notepad notepad.exe
    for ((run = 1; run <= runs; run++)); do
        local result=${P[run.$run.result]-none} after=${P[run.$run.closed_after_ms]-}
        case $result in
            closed) ((after <= 300)) ||
                fail "$step start $run: expected closed within 300 ms of showing, took $after ms" ;;
            closed_before_shown) ;;
            *) fail "$step start $run: expected closed within 300 ms of showing, but it was" \
                "still open 3 s after its start (shown after $(pv "run.$run.appeared_ms") ms)" ;;
        esac
        case $result in
            closed) seen+=("closed $after ms after showing") ;;
            closed_before_shown) seen+=("closed before it showed") ;;
            *) seen+=("$result") ;;
        esac
    done
    local joined="" one
    for one in "${seen[@]}"; do joined+=${joined:+, }$one; done
    note "$step: $joined"
}

# ---------------------------------------------------------------------------------------
# Scenarios

# The layout table as lines "kind|caption|left|top|width|height|visible".
layout_rows() {
    tr '\n' ' ' <"$LAYOUT_H" | tr -s ' ' | grep -o '{ControlId::[^}]*}' |
        sed -E 's/^\{ControlId::[A-Za-z0-9]+, "[^"]*", ControlKind::([A-Za-z]+), L"([^"]*)", ?([0-9]+), ?([0-9]+), ?([0-9]+), ?([0-9]+), ?[0-9]+, ?[0-9]+, ?(true|false) ?\}$/\1|\2|\3|\4|\5|\6|\7/'
}

# Twips to pixels at the given DPI, rounded to the nearest pixel.
to_pixels() { echo $((($1 * $2 + 720) / 1440)); }

scenario_first_start() {
    vt_start || return
    expect_eq "caption" "Vintrell" "${M[main.caption]}"
    local dpi=${M[main.dpi]:-96}
    local -i client_w client_h
    client_w=$(to_pixels 6000 "$dpi")
    client_h=$(to_pixels 4980 "$dpi")
    local cw ch wx wy ww wh sw sh
    read -r _ _ cw ch <<<"${M[main.client]}"
    read -r wx wy ww wh <<<"${M[main.window]}"
    read -r sw sh <<<"${M[main.screen_size]}"
    expect_eq "client area size" "$client_w $client_h" "$cw $ch"
    # Centred on the screen, frame included; one pixel of rounding either way.
    local want_x=$(((sw - ww) / 2)) want_y=$(((sh - wh) / 2))
    if ((wx < want_x - 1 || wx > want_x + 1 || wy < want_y - 1 || wy > want_y + 1)); then
        fail "window position: expected about ($want_x, $want_y) for a ${ww}x$wh window" \
            "on ${sw}x$sh, saw ($wx, $wy)"
    fi
    # Every control where the layout table puts it.
    local rows=0 kind caption left top width height visible name
    while IFS='|' read -r kind caption left top width height visible; do
        rows=$((rows + 1))
        case $kind in
            TextBox) name=Edit ;;
            ListView) name=SysListView32 ;;
            *) name=$caption ;;
        esac
        local want
        want="$(to_pixels "$left" "$dpi") $(to_pixels "$top" "$dpi")"
        want+=" $(to_pixels "$width" "$dpi") $(to_pixels "$height" "$dpi")"
        if [[ -z ${M[ctl.$name.rect]-} ]]; then
            fail "control \"$name\" ($kind): not found on the window"
            continue
        fi
        expect_eq "rectangle of \"$name\" (x y w h in the client area)" "$want" "${M[ctl.$name.rect]}"
        expect_eq "visibility of \"$name\"" "$([[ $visible == true ]] && echo 1 || echo 0)" \
            "${M[ctl.$name.visible]}"
    done < <(layout_rows)
    expect_eq "controls in the layout table" 10 "$rows"
    expect_eq "\"Start in system tray\" shown" 0 "${M[ctl.Start in system tray.visible]-missing}"
    expect_eq "list items" 0 "${M[list.count]-missing}"
    expect_eq "list columns" "1 Windows To Close" "${M[list.columns]-0} ${M[list.column.1]-}"
    # shellcheck disable=SC2046
    xdotool mousemove $(centre_of "${M[list.screen]}")
    probe wait-tip 3000
    expect_eq "tooltip over the list" "$LIST_TIP" "$(pv tip.1.text)"
    if "$WINE" reg query "$SETTINGS_KEY" </dev/null >"$WORK/reg.out" 2>/dev/null; then
        fail "settings stored at first start: expected no key $SETTINGS_KEY, saw" \
            "$(tr -d '\r' <"$WORK/reg.out" | grep REG_ | xargs)"
    fi
    local key
    for key in "${RUN_KEYS[@]}"; do
        reg_get "$key" Vintrell.exe && fail "Run value at first start: $key has $REG_VALUE"
    done
    shot
    # The README's picture of the window.
    import -window root -crop "${ww}x$wh+$wx+$wy" +repage "$WORK/main-window.png" 2>>"$LOGS/import.log"
    if [[ -n ${E2E_WINDOW_PICTURE:-} ]]; then
        cp "$WORK/main-window.png" "$E2E_WINDOW_PICTURE" ||
            fail "the window's picture could not be copied to $E2E_WINDOW_PICTURE"
    fi
}

scenario_help_demo() {
    vt_start || return
    add_keyword notepad || return
    expect_list "after Add" notepad
    start_monitoring || return
    # Hover over the icon: its tip shows (and stays in the screenshot).
    local x y w h
    read -r x y w h <<<"$(pv tray.screen)"
    xdotool mousemove $((x + w - 10)) $((y + h / 2))
    probe wait-tip 3000
    expect_eq "tooltip of the notification icon" "$TRAY_TIP" "$(pv tip.1.text)"
    expect_notepad_closed "notepad" 3
    shot
}

scenario_list_by_hand() {
    vt_start || return
    click_control Edit || return
    type_text alpha
    xdotool key Return
    expect_main "Enter in the entry box: entry text" ctl.Edit.text alpha
    sleep 0.3  # what must not happen is checked once it had time to
    read_main
    expect_eq "Enter in the entry box: list items" 0 "${M[list.count]}"
    check_setting Listview "<absent>"
    click_control Add
    expect_list "Add alpha" alpha
    expect_main "entry box after Add" ctl.Edit.text ""
    add_keyword beta
    add_keyword gamma
    expect_list "Add beta, gamma" alpha beta gamma
    # Add with an empty box writes the list again: take the stored copy away first.
    reg_delete "$SETTINGS_KEY" /v Listview
    click_control Add
    expect_list "Add with an empty entry box" alpha beta gamma
    # A click copies an item into the entry box.
    # shellcheck disable=SC2046
    click_at $(centre_of "${M[list.item.2.screen]}")
    expect_main "click on item 2: entry text" ctl.Edit.text beta
    expect_list "click on item 2" alpha beta gamma
    # The clicked item is the selected one.
    click_control "Delete Selected"
    expect_list "Delete Selected with item 2 selected" alpha gamma
    # A double click removes one.
    # shellcheck disable=SC2046
    xdotool mousemove $(centre_of "${M[list.item.1.screen]}") click --repeat 2 --delay 80 1
    expect_list "double click on item 1" gamma
    click_control "Clear List"
    expect_message_box "Clear List" "Are you sure you want to clear list?" "&No &Yes"
    expect_eq "Clear List: question icon shown" 1 "$(pv dialog.1.icon)"
    shot question
    click_dialog_button "&No"
    sleep 0.3  # what must not change is checked once it had time to
    expect_list "Clear List answered No" gamma
    click_control "Clear List"
    if expect_message_box "Clear List again" "Are you sure you want to clear list?" "&No &Yes"; then
        click_dialog_button "&Yes"
        expect_list "Clear List answered Yes"
    fi
    shot
}

scenario_empty_start() {
    vt_start || return
    click_control "Start Monitoring"
    expect_message_box "Start Monitoring with an empty list" "Please add a keyword to monitor" "OK"
    shot
    click_dialog_button OK
    probe wait-main visible 3000
    expect_eq "window visible after the message" 1 "$(pv main.visible)"
    expect_eq "message boxes left" 0 "$(probe dialogs && pv dialog.count)"
    probe tray
    expect_eq "taskbar (notification icon) shown" 0 "$(pv tray.visible)"
    if "$WINE" reg query "$SETTINGS_KEY" </dev/null >/dev/null 2>&1; then
        fail "settings written by Start Monitoring with an empty list"
    fi
}

scenario_own_window() {
    vt_start || return
    add_keyword vin || return
    start_monitoring || return
    # A matching window of another program is closed: monitoring runs.
    local out=$LOGS/$SCENARIO_TAG-vinyl.txt
    start_detached "$out" "$BIN_DIR/e2e_close_probe.exe" "vinyl record" 5000
    wait_for_line "$out" "closed_after_ms\|not_closed" 80 ||
        fail "the window \"vinyl record\" reported nothing"
    grep -q closed_after_ms "$out" ||
        fail "the window \"vinyl record\": expected closed, saw [$(xargs <"$out")]"
    sleep 1  # ten more sweeps
    probe wait-main exists 1000
    expect_eq "Vintrell's window still exists (caption \"Vintrell\" contains \"vin\")" 1 \
        "$(pv main.found)"
    shot
    open_tray_menu || return
    choose_stop_monitoring || return
    expect_list "after Stop Monitoring" vin
}

scenario_tray_menu() {
    vt_start || return
    add_keyword notepad || return
    start_monitoring || return
    # A window that declines WM_CLOSE counts the requests it receives.
    local out=$LOGS/$SCENARIO_TAG-decline.txt
    start_detached "$out" "$BIN_DIR/e2e_decline_close.exe" "notepad declines" 30
    wait_for_line "$out" "^close" 50 ||
        fail "the declining window \"notepad declines\" received no WM_CLOSE while monitoring"
    open_tray_menu || return
    shot menu
    choose_stop_monitoring || return
    expect_list "after Stop Monitoring" notepad
    expect_eq "Start Monitoring button still there" 1 "${M[ctl.Start Monitoring.visible]-0}"
    probe wait-tray 0 3000
    expect_eq "taskbar (notification icon) shown after Stop Monitoring" 0 "$(pv tray.visible)"
    sleep 0.3  # a request already on its way when monitoring stopped is not counted
    local before
    before=$(grep -c '^close' "$out")
    probe launch-watch 1500 1 notepad notepad.exe
    local after
    after=$(grep -c '^close' "$out")
    expect_eq "notepad after Stop Monitoring" open "$(pv run.1.result)"
    expect_eq "WM_CLOSE requests to the declining window after Stop Monitoring" 0 \
        "$((after - before))"
    note "the declining window received $before WM_CLOSE while monitoring"
    shot
}

# The Run value: in exactly one of the two Run keys, quoted (the folder has a blank).
expect_run_value() {
    local step=$1 present=$2 key found=()
    for key in "${RUN_KEYS[@]}"; do
        reg_get "$key" Vintrell.exe && found+=("$key=$REG_VALUE")
        reg_get "$key" Aardvark.exe && fail "$step: Run value for the other program: $key has $REG_VALUE"
    done
    if [[ $present == yes ]]; then
        if ((${#found[@]} != 1)) || [[ ${found[0]#*=} != "\"$APP_WINDOWS_PATH\"" ]]; then
            fail "$step: expected one Run value Vintrell.exe = \"$APP_WINDOWS_PATH\" (quoted)," \
                "saw [${found[*]}]"
        fi
    elif ((${#found[@]} != 0)); then
        fail "$step: expected no Run value, saw [${found[*]}]"
    fi
}

scenario_options() {
    vt_start || return
    click_control "Load this software on Windows startup" || return
    expect_main "startup box ticked" "ctl.Load this software on Windows startup.check" 1
    expect_main "\"Start in system tray\" shown" "ctl.Start in system tray.visible" 1
    expect_main "\"Start in system tray\" ticked" "ctl.Start in system tray.check" 0
    expect_setting "Windows Startup" On
    eventually expect_run_value "ticked" yes
    click_control "Start in system tray"
    expect_setting Minimized On
    expect_main "\"Start in system tray\" ticked" "ctl.Start in system tray.check" 1
    shot ticked
    click_control "Load this software on Windows startup"
    expect_main "startup box after unticking" "ctl.Load this software on Windows startup.check" 0
    expect_main "\"Start in system tray\" shown after unticking" "ctl.Start in system tray.visible" 0
    expect_main "\"Start in system tray\" ticked after unticking" "ctl.Start in system tray.check" 0
    expect_setting Minimized Off
    expect_setting "Windows Startup" Off
    eventually expect_run_value "unticked" no
    shot
}

scenario_restart_in_tray() {
    vt_start || return
    add_keyword notepad || return
    click_control "Load this software on Windows startup" || return
    expect_main "\"Start in system tray\" shown" "ctl.Start in system tray.visible" 1
    click_control "Start in system tray" || return
    expect_setting "Windows Startup" On
    expect_setting Minimized On
    click_close_button || return
    probe wait-main gone 5000 || {
        fail "the close button did not end Vintrell"
        return
    }
    # Start-up must not write the Run value again, even when it was removed meanwhile.
    local key
    for key in "${RUN_KEYS[@]}"; do reg_delete "$key" /v Vintrell.exe; done
    probe launch-main 3000 "\"$APP_WINDOWS_PATH\""
    expect_eq "window found after the restart" 1 "$(pv watch.found)"
    expect_eq "window shown during the first 3 s of the restart" 0 "$(pv watch.ever_visible)"
    probe wait-tray 1 3000
    expect_eq "notification icon after the restart" 1 "$(pv tray.visible)"
    expect_run_value "after the restart" no
    expect_notepad_closed "notepad after the restart" 1
    probe main
    expect_eq "window shown while monitoring from the start" 0 "$(pv main.visible)"
    shot
    open_tray_menu || return
    choose_stop_monitoring || return
    expect_list "after Stop Monitoring" notepad
    expect_eq "startup box after the restart" 1 "${M[ctl.Load this software on Windows startup.check]-}"
    expect_eq "tray box after the restart" 1 "${M[ctl.Start in system tray.check]-}"
}

scenario_hung_window() {
    vt_start || return
    add_keyword zephyr || return
    # The hung window is there before monitoring starts, so that it hangs before anything
    # closes it.
    local hung=$LOGS/$SCENARIO_TAG-hung.txt
    start_target "$hung" "^hung" "the hung window" "$BIN_DIR/e2e_hung_window.exe" "zephyr hung" 10 ||
        return
    start_monitoring || return
    sleep 0.3  # the sweeps are now waiting on the hung window
    local second=$LOGS/$SCENARIO_TAG-second.txt
    start_detached "$second" "$BIN_DIR/e2e_close_probe.exe" "zephyr second" 6000
    wait_for_line "$second" "closed_after_ms\|not_closed" 100
    local after
    after=$(sed -n 's/^closed_after_ms //p' "$second" | tr -d '\r')
    if [[ -z $after ]] || ((after > 2000)); then
        fail "second matching window beside a hung one: expected closed within 2000 ms," \
            "saw [$(xargs <"$second")]"
    else
        note "the second window was closed $after ms after its creation"
    fi
    shot hung
    local menu_start=$EPOCHREALTIME
    open_tray_menu 6000 || return
    note "the tray menu opened $(seconds_since "$menu_start") s after the right-click" \
        "beside the hung window"
    choose_stop_monitoring || return

    # A matching window that asks whether to save. Under Wine the sweep's bound runs out while
    # the question is open and the next sweep asks again: the boxes pile up, each taking the
    # foreground (which also closes an open tray menu at random moments).
    local save=$LOGS/$SCENARIO_TAG-save.txt
    start_target "$save" "^created" "the save-prompt window" \
        "$BIN_DIR/e2e_save_prompt.exe" "zephyr unsaved document" 30 || return
    start_monitoring || return
    sleep 3.5
    probe dialogs
    local prompts boxes=0 i
    prompts=$(grep -c '^prompt' "$save")
    for ((i = 1; i <= ${P[dialog.count]:-0}; i++)); do
        [[ ${P[dialog.$i.caption]-} == "Unsaved changes" ]] && boxes=$((boxes + 1))
    done
    ((prompts >= 1)) || fail "the save-prompt window received no WM_CLOSE in 3.5 s"
    note "after 3.5 s of monitoring: $prompts save questions asked, $boxes boxes on screen"
    shot save-prompt
    menu_start=$EPOCHREALTIME
    open_tray_menu 6000 || return
    note "the tray menu opened $(seconds_since "$menu_start") s after the right-click" \
        "beside the save questions"
    # Let the menu go, and answer the question as its user would.
    xdotool mousemove 900 300 click 1
    # Under Wine the questions are nested: the window goes once the one its closing waits on
    # is answered, which may take several answers while the sweeps keep asking.
    local answers=0
    while ((answers < 10)); do
        probe wait-dialog 3000
        if [[ -n ${P[dialog.1.button.&No]-} ]]; then
            click_dialog_button "&No" || return
            answers=$((answers + 1))
        fi
        probe wait-exit e2e_save_prompt.exe 1500 && break
    done
    if probe wait-exit e2e_save_prompt.exe 5000; then
        note "answered No $answers times: the window closed;" \
            "$(grep -c '^prompt' "$save") questions asked in all"
    else
        fail "the save-prompt window was still there after $answers questions were answered No"
    fi
    open_tray_menu || return
    choose_stop_monitoring
}

scenario_taskbar_recreated() {
    vt_start || return
    add_keyword notepad || return
    start_monitoring || return
    local hwnd=${M[main.hwnd]}
    "$WINE" "$BIN_DIR/e2e_tray_tool.exe" delete "$hwnd" 0 </dev/null >"$WORK/tray.out" 2>>"$WINE_LOG" ||
        fail "the icon could not be deleted from another process: $(xargs <"$WORK/tray.out")"
    probe wait-tray 0 3000 || fail "the icon was still there after its deletion"
    "$WINE" "$BIN_DIR/e2e_tray_tool.exe" taskbar-created </dev/null >"$WORK/tray.out" 2>>"$WINE_LOG" ||
        fail "TaskbarCreated could not be broadcast: $(xargs <"$WORK/tray.out")"
    if ! probe wait-tray 1 3000; then
        fail "after TaskbarCreated: expected the icon back, the taskbar shows none"
        return
    fi
    expect_notepad_closed "notepad after the taskbar came back" 1
    open_tray_menu || return
    shot
    choose_stop_monitoring || return
    expect_list "after Stop Monitoring" notepad
    probe wait-tray 0 3000
    expect_eq "icons left after Stop Monitoring" 0 "$(pv tray.visible)"
}

scenario_close_window() {
    vt_start || return
    add_keyword notepad || return
    read_main
    click_close_button || return
    if ! probe wait-main gone 5000; then
        fail "after a click on the close button: expected no Vintrell process, saw" \
            "$(pv main.processes) (window visible $(pv main.visible))"
    fi
    probe tray
    expect_eq "taskbar (notification icon) shown after closing" 0 "$(pv tray.visible)"
    shot
}

# A button drawn raised has a lighter top-left corner than its bottom-right one.
button_raised_in() {
    local image=$1 x y w h tl br
    read -r x y w h <<<"$2"
    tl=$(convert "$image" -crop "1x1+$x+$y" -format '%[fx:int(255*luminance)]' info:)
    br=$(convert "$image" -crop "1x1+$((x + w - 1))+$((y + h - 1))" -format '%[fx:int(255*luminance)]' info:)
    ((tl > br))
}

# Takes screenshots until the button at the rectangle looks raised (or pressed), for up to 2 s;
# the last one stays as the scenario's screenshot.
wait_button_look() {
    local look=$1 rect=$2 tag=$3 i
    for ((i = 0; i < 10; i++)); do
        ((i == 0)) || unset 'SHOT_PATHS[-1]'
        shot "$tag"
        if button_raised_in "${SHOT_PATHS[-1]}" "$rect"; then
            [[ $look == raised ]] && return 0
        else
            [[ $look == pressed ]] && return 0
        fi
        sleep 0.2
    done
    return 1
}

scenario_help() {
    vt_start || return
    # Held down, the button looks pressed; let go outside it, nothing happens. This also
    # shows that the look test below tells the two faces apart.
    local help_rect=${M[ctl.Help.screen]}
    # shellcheck disable=SC2046
    xdotool mousemove $(centre_of "$help_rect") mousedown 1
    wait_button_look pressed "$help_rect" held ||
        fail "Help button held down: expected it to look pressed, it looks raised"
    xdotool mousemove 900 100 mouseup 1
    sleep 0.3
    expect_eq "message boxes after letting go outside Help" 0 "$(probe dialogs && pv dialog.count)"
    click_control Help || return
    expect_message_box "Help" "$HELP_TEXT" "OK" || return
    expect_eq "help text length" 315 "${#HELP_TEXT}"
    expect_eq "help box icon" 0 "$(pv dialog.1.icon)"
    # The box must not hide the button whose look is checked.
    local bx by bw bh hx hy hw hh
    read -r bx by bw bh <<<"$(pv dialog.1.screen)"
    read -r hx hy hw hh <<<"$help_rect"
    if ((bx < hx + hw && hx < bx + bw && by < hy + hh && hy < by + bh)); then
        xdotool mousemove $((bx + bw / 2)) $((by + 8)) mousedown 1 mousemove 300 10 \
            mousemove $((bw / 2 + 2)) 10 mouseup 1
        sleep 0.3
        probe dialogs
    fi
    wait_button_look raised "$help_rect" "" ||
        fail "Help button while its message shows: expected raised, looks pressed (see screenshot)"
    click_dialog_button OK
    probe wait-main visible 3000
    expect_eq "message boxes after OK" 0 "$(probe dialogs && pv dialog.count)"
}

suite_start=$SECONDS
run_scenario 1 first-start "First start: centred, laid out, empty, nothing stored" scenario_first_start
run_scenario 2 help-demo "The help's demonstration with Wine's notepad" scenario_help_demo
run_scenario 3 list-by-hand "The list by hand, stored after each step" scenario_list_by_hand
run_scenario 4 empty-start "Start Monitoring with an empty list" scenario_empty_start
run_scenario 5 own-window "Vintrell's own window is never closed" scenario_own_window
run_scenario 6 tray-menu "The tray menu stops monitoring" scenario_tray_menu
run_scenario 7 options "The start options and the Run value" scenario_options
run_scenario 8 restart-in-tray "A restart with both options on" scenario_restart_in_tray
run_scenario 9 hung-window "Hung and save-asking windows do not freeze Vintrell" scenario_hung_window
run_scenario 10 taskbar-recreated "The taskbar re-created" scenario_taskbar_recreated
run_scenario 11 close-window "Closing the window ends the process" scenario_close_window
run_scenario 12 help "The help" scenario_help
reset_state >/dev/null 2>&1

log "e2e: scenarios took $((SECONDS - suite_start)) s; screenshots in $SHOTS"
echo "$PASSED passed, $FAILED failed"
((FAILED == 0))
