# shellcheck shell=bash
# The main window itself: how it first shows and is laid out, the Help button's look and its
# message, and the close button that ends the program.

LIST_TIP='Double-click item to remove it. Move bar to right and out of window to reveal full names.'
HELP_TEXT='This program will automatically close a window if it contains the letters (name) you add.'
HELP_TEXT+=$'\r\r''Please try the following demo:'$'\r\r''Add the word'$'\r\r''calc'
HELP_TEXT+=$'\r\r''to this program.'$'\r\r''Click "Start Monitoring"'$'\r\r'
HELP_TEXT+='Go to Start > Run and type in calc and hit enter.'$'\r\r'
HELP_TEXT+='The Microsoft Calculator will open and be immediately closed by this program.'

declare -gA LAYOUT  # the controls' table: layout.N.name, .kind, .caption, .twips, .visible

# Loads the controls' table that Vintrell is built from (the probe has it compiled in), in
# twips from the client area's top-left corner.
read_layout() {
    probe layout || return 1
    LAYOUT=()
    local key
    for key in "${!P[@]}"; do LAYOUT[$key]=${P[$key]}; done
}

# Twips to pixels at the given DPI, rounded to the nearest pixel.
to_pixels() { echo $((($1 * $2 + 720) / 1440)); }

scenario 1 first-start "First start: centred, laid out, empty, nothing stored" scenario_first_start
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
    # Every control where the program's own table puts it.
    read_layout || fail "the probe reports no layout table"
    local rows=${LAYOUT[layout.count]:-0} row kind name left top width height want
    for ((row = 1; row <= rows; row++)); do
        kind=${LAYOUT[layout.$row.kind]-}
        case $kind in
            TextBox) name=Edit ;;
            ListView) name=SysListView32 ;;
            *) name=${LAYOUT[layout.$row.caption]-} ;;
        esac
        read -r left top width height <<<"${LAYOUT[layout.$row.twips]-}"
        want="$(to_pixels "$left" "$dpi") $(to_pixels "$top" "$dpi")"
        want+=" $(to_pixels "$width" "$dpi") $(to_pixels "$height" "$dpi")"
        if [[ -z ${M[ctl.$name.rect]-} ]]; then
            fail "control \"$name\" (${LAYOUT[layout.$row.name]-} $kind): not found on the window"
            continue
        fi
        expect_eq "rectangle of \"$name\" (x y w h in the client area)" "$want" "${M[ctl.$name.rect]}"
        expect_eq "visibility of \"$name\"" "${LAYOUT[layout.$row.visible]-}" \
            "${M[ctl.$name.visible]}"
    done
    expect_eq "controls in the layout table" 10 "$rows"
    expect_eq "controls on the window" "$rows" "${M[ctl.count]-0}"
    expect_eq "\"Start in system tray\" shown" 0 "${M[ctl.Start in system tray.visible]-missing}"
    expect_eq "list items" 0 "${M[list.count]-missing}"
    expect_eq "list columns" "1 Windows To Close" "${M[list.columns]-0} ${M[list.column.1]-}"
    # The README's picture of the window, taken before the list's tooltip is shown.
    import -window root -crop "${ww}x$wh+$wx+$wy" +repage "$WORK/main-window.png" 2>>"$LOGS/import.log"
    if [[ -n ${E2E_WINDOW_PICTURE:-} ]]; then
        cp "$WORK/main-window.png" "$E2E_WINDOW_PICTURE" ||
            fail "the window's picture could not be copied to $E2E_WINDOW_PICTURE"
    fi
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
}

scenario 11 close-window "Closing the window ends the process" scenario_close_window
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

scenario 12 help "The help" scenario_help
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
