# shellcheck shell=bash
# The two start options: the Run value they write and remove, and a start straight into the
# tray.

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

scenario 7 options "The start options and the Run value" scenario_options
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

scenario 8 restart-in-tray "A restart with both options on" scenario_restart_in_tray
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
