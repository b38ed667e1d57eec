# shellcheck shell=bash
# One copy per session: a second start hands over to the copy already running and ends.

scenario 13 second-start "A second start shows the copy monitoring in the tray" scenario_second_start
scenario_second_start() {
    vt_start || return
    local first_pid=${M[main.pid]}
    add_keyword notepad || return
    expect_list "after Add" notepad
    start_monitoring || return
    # As a double-click on Vintrell.exe does; a second copy that stays would be ended after 15 s.
    local rc=0
    timeout 15 "$WINE" "$APP_EXE" </dev/null >"$LOGS/$SCENARIO_TAG-second.log" 2>>"$WINE_LOG" ||
        rc=$?
    expect_eq "the second start's exit code (124: still running after 15 s)" 0 "$rc"
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
}
