# shellcheck shell=bash
# Monitoring and closing: the help's demonstration, Start Monitoring with nothing to look for,
# Vintrell's own window, and windows that hang or ask before they close.

TRAY_TIP='Right-click here to access the menu'

scenario 2 help-demo "The help's demonstration with Wine's notepad" scenario_help_demo
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

scenario 4 empty-start "Start Monitoring with an empty list" scenario_empty_start
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

scenario 5 own-window "Vintrell's own window is never closed" scenario_own_window
scenario_own_window() {
    vt_start || return
    add_keyword vin || return
    start_monitoring || return
    # A matching window of another program is closed: monitoring runs.
    local out=$LOGS/$SCENARIO_TAG-vinyl.txt
    start_detached "$out" "$TEST_WINDOW" close "vinyl record" 5000
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

# Opens a matching window of the close probe (log LOGS/SCENARIO_TAG-TAG.txt) and expects it
# closed within MS milliseconds of its creation.
expect_probe_closed() {
    local tag=$1 title=$2 within=$3 what=$4
    local log=$LOGS/$SCENARIO_TAG-$tag.txt after
    start_detached "$log" "$TEST_WINDOW" close "$title" 6000
    wait_for_line "$log" "closed_after_ms\|not_closed" 100
    after=$(sed -n 's/^closed_after_ms //p' "$log" | tr -d '\r')
    if [[ -z $after ]] || ((after > within)); then
        fail "$what: expected closed within $within ms, saw [$(xargs <"$log")]"
    else
        note "$what: closed $after ms after its creation"
    fi
}

scenario 9 hung-window "Hung and save-asking windows do not freeze Vintrell" scenario_hung_window
scenario_hung_window() {
    vt_start || return
    add_keyword zephyr || return
    # The hung window is there before monitoring starts, so that it hangs before anything
    # closes it.
    local hung=$LOGS/$SCENARIO_TAG-hung.txt
    start_target "$hung" "^hung" "the hung window" "$TEST_WINDOW" hang "zephyr hung" 10 ||
        return
    start_monitoring || return
    sleep 0.3  # the hung window now holds its one unanswered request
    expect_probe_closed second "zephyr second" 2000 "second matching window beside a hung one"
    shot hung
    local menu_start=$EPOCHREALTIME
    open_tray_menu 6000 || return
    note "the tray menu opened $(seconds_since "$menu_start") s after the right-click" \
        "beside the hung window"
    choose_stop_monitoring || return

    # A matching window that asks whether to save: asked once, it shows its question and gets
    # no second one while it stands; the question's box, titled like the window, is not closed
    # (that would answer Cancel); another matching window is closed meanwhile within a tick,
    # and Stop Monitoring is reachable from the tray.
    local save=$LOGS/$SCENARIO_TAG-save.txt
    start_target "$save" "^created" "the save-prompt window" \
        "$TEST_WINDOW" ask "zephyr unsaved document" 30 || return
    start_monitoring || return
    sleep 2
    expect_probe_closed third "zephyr third" 200 "a matching window beside an open save question"
    sleep 1
    probe dialogs
    local prompts boxes=0 i
    prompts=$(grep -c '^prompt' "$save")
    for ((i = 1; i <= ${P[dialog.count]:-0}; i++)); do
        [[ ${P[dialog.$i.caption]-} == "zephyr unsaved document" ]] && boxes=$((boxes + 1))
    done
    local cancelled
    cancelled=$(grep -c '^answer [0-9]* 2$' "$save")
    note "after 3.5 s of monitoring: $prompts save questions asked, $boxes boxes on screen," \
        "$cancelled cancelled"
    ((prompts == 1 && boxes == 1 && cancelled == 0)) ||
        fail "expected one save question in 3.5 s of monitoring, saw $prompts asked, $boxes shown, $cancelled cancelled"
    shot save-prompt
    menu_start=$EPOCHREALTIME
    open_tray_menu 6000 || return
    note "the tray menu opened $(seconds_since "$menu_start") s after the right-click" \
        "beside the save question"
    choose_stop_monitoring || return
    expect_list "after Stop Monitoring beside the save question" zephyr
    # Monitoring anew (which hides the main window from over the box) asks no second question.
    start_monitoring || return
    sleep 1
    prompts=$(grep -c '^prompt' "$save")
    ((prompts == 1)) || fail "monitoring anew asked the open question's window again: $prompts asked"
    # The user answers the question: the window goes.
    probe wait-dialog 3000
    click_dialog_button "&No" || return
    if wait_for_line "$save" "^closed" 50; then
        note "answered No once: the window closed; $(grep -c '^prompt' "$save") questions asked in all"
    else
        fail "the save-prompt window was still there after its question was answered No"
    fi
    open_tray_menu || return
    choose_stop_monitoring
}

scenario 14 windows-together "A program's windows opened together, and the shell's desktop" \
    scenario_windows_together
scenario_windows_together() {
    vt_start || return
    add_keyword zinnia || return
    add_keyword Manager || return
    start_monitoring || return
    # Ten pop-ups made at once by one thread: the first is asked as it is reported, the others
    # when that thread answers, all within a tick of the thread's first look at its messages.
    local burst=$LOGS/$SCENARIO_TAG-burst.txt closed slowest drawn
    start_target "$burst" "^created" "the burst of windows" \
        "$TEST_WINDOW" burst "zinnia pop-up" 10 3000 || return
    wait_for_line "$burst" "^done" 60 || fail "the burst of windows reported no end"
    closed=$(grep -c '^closed' "$burst")
    slowest=$(awk '/^closed/ { if ($6 > max) max = $6 } END { print max + 0 }' "$burst")
    drawn=$(awk '/^closed/ { sum += $8 } END { print sum + 0 }' "$burst")
    note "ten windows of one thread: $closed closed, the last $slowest ms after the burst was" \
        "made, $((closed - drawn)) before they were drawn"
    expect_eq "windows of the burst closed" 10 "$closed"
    ((slowest <= 110)) || fail "the burst's last window closed $slowest ms after the burst was made"
    # The shell's desktop, reported before it is made the shell's window: never asked.
    local shell=$LOGS/$SCENARIO_TAG-shell.txt
    start_target "$shell" "^created" "the shell's desktop window" \
        "$TEST_WINDOW" burst "Program Manager" 1 2000 --class Progman || return
    sleep 1
    shot shell-window
    wait_for_line "$shell" "^done" 60 || fail "the shell's desktop window reported no end"
    note "a Progman window titled \"Program Manager\": $(grep -v '^created\|^done' "$shell" | xargs)"
    grep -q '^not_closed 0' "$shell" || fail "the shell's desktop window was asked to close"
    open_tray_menu || return
    choose_stop_monitoring
}
