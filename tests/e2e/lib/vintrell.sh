# shellcheck shell=bash
# Driving Vintrell as a person does: starting it, clicking its controls, typing keywords,
# the tray icon and its menu, message boxes, the close button; the known state each scenario
# starts from; and the checks of what its window shows. Sourced by run.sh.

SEPARATOR='||||||||---|||'

declare -gA M  # the main window's last report

read_main() {
    probe main || return 1
    M=()
    local key
    for key in "${!P[@]}"; do M[$key]=${P[$key]}; done
}

centre_of() {
    local x y w h
    read -r x y w h <<<"$1"
    echo "$((x + w / 2)) $((y + h / 2))"
}

click_at() { xdotool mousemove "$1" "$2" click 1; }

type_text() { xdotool type --delay 30 -- "$1"; }

# The known state every scenario starts from.
reset_state() {
    probe kill Vintrell.exe Aardvark.exe notepad.exe winemine.exe clock.exe test_window.exe
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

# ---- the main window

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

# Types a keyword into the entry box and clicks Add, as the help says.
add_keyword() {
    click_control Edit || return 1
    type_text "$1"
    click_control Add
}

joined_list() {
    local item out=""
    for item in "$@"; do out+=$item$SEPARATOR; done
    printf '%s' "$out"
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

# ---- monitoring and the tray

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

# ---- message boxes

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
