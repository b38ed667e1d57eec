# shellcheck shell=bash
# The keyword list edited by hand: Add, Enter, a click and a double click on an item, Delete
# Selected, Clear List and its question, each change stored at once.

scenario 3 list-by-hand "The list by hand, stored after each step" scenario_list_by_hand
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
