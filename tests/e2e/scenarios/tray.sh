# shellcheck shell=bash
# The notification icon: its menu stops monitoring, and it comes back when the taskbar is
# re-created.

scenario 6 tray-menu "The tray menu stops monitoring" scenario_tray_menu
scenario_tray_menu() {
    vt_start || return
    add_keyword notepad || return
    start_monitoring || return
    # A window that declines WM_CLOSE counts the requests it receives.
    local out=$LOGS/$SCENARIO_TAG-decline.txt
    start_detached "$out" "$TEST_WINDOW" decline "notepad declines" 30
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

scenario 10 taskbar-recreated "The taskbar re-created" scenario_taskbar_recreated
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
