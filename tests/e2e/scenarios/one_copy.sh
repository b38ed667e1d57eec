# shellcheck shell=bash
# One copy per session: a second start hands over to the copy already running and ends, and
# brings forward the question that copy has open.

scenario 13 second-start "A second start shows the copy monitoring in the tray, and its open question" \
    scenario_second_start
scenario_second_start() {
    vt_start || return
    local first_pid=${M[main.pid]}
    add_keyword notepad || return
    expect_list "after Add" notepad
    start_monitoring || return
    start_again "the second start" || return
    if ! probe wait-main visible 5000; then
        fail "after the second start the window did not show (visible $(pv main.visible))"
        shot not-shown
        return
    fi
    read_main
    shot
    expect_eq "Vintrell processes after the second start" 1 "${M[main.processes]-}"
    expect_eq "the window shown is the first copy's" "$first_pid" "${M[main.pid]-}"
    expect_eq "the window is at the front" 1 "${M[main.foreground]-}"
    probe wait-tray 0 3000
    expect_eq "notification icon after the second start" 0 "$(pv tray.visible)"
    expect_list "after the second start" notepad
    # Monitoring has stopped: a matching window stays open.
    probe launch-watch 1500 1 notepad notepad.exe
    expect_eq "notepad after the second start" open "$(pv run.1.result)"

    # A question open in the running copy, and another program in front: a second start brings
    # the question to the front with its window, and a click answers it.
    probe kill notepad.exe
    click_control "Clear List" || return
    expect_message_box "Clear List" "Are you sure you want to clear list?" "&No &Yes" || return
    start_detached "$LOGS/$SCENARIO_TAG-notepad.log" notepad.exe
    eventually expect_notepad_in_front || return
    shot notepad-in-front
    start_again "the second start during the question" || return
    probe wait-dialog 3000
    eventually expect_question_in_front
    shot question
    click_dialog_button "&Yes"
    expect_list "the question brought forward, answered Yes"
}

# As a double-click on Vintrell.exe does; a second copy that stays is ended after 15 s.
start_again() {
    local rc=0
    timeout 15 "$WINE" "$APP_EXE" </dev/null >>"$LOGS/$SCENARIO_TAG-second.log" 2>>"$WINE_LOG" ||
        rc=$?
    expect_eq "$1: exit code (124: still running after 15 s)" 0 "$rc"
}

expect_notepad_in_front() {
    probe list
    [[ $(printf '%s\n' "${P[@]}") == *"notepad.exe Notepad visible=1"* ]] ||
        fail "notepad's window did not show"
    probe dialogs
    expect_eq "the question while notepad is in front: foreground" 0 "$(pv dialog.1.foreground)"
}

expect_question_in_front() {
    probe dialogs
    expect_eq "the question after the second start" \
        "$(escaped "Are you sure you want to clear list?")" "$(pv dialog.1.text)"
    expect_eq "the question is the foreground window" 1 "$(pv dialog.1.foreground)"
}
