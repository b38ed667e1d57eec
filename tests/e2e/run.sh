#!/bin/bash
# End-to-end suite: drives the real Vintrell.exe under Wine the way a person does.
#
# Usage: run.sh VINTRELL_EXE BINARY_DIR TEST_WINDOW_EXE
#   VINTRELL_EXE  the program under test
#   BINARY_DIR    where the suite's own programs (e2e_*.exe) were built; everything the suite
#                 writes (Wine prefix, screenshots, logs) goes under BINARY_DIR/work
#   TEST_WINDOW_EXE  the program that makes the windows to close (tests/targets)
# Environment:
#   DISPLAY          an X display of at least 1024x768 to use; without one (or when it does not
#                    answer) the suite starts its own Xvfb
#   E2E_ONLY         scenarios to run, by number or name, e.g. "3 7" or "list-by-hand options"
#                    (default: all); a word that names none ends the run
#   E2E_KEEP_PREFIX  1 reuses the prefix of the previous run instead of making a fresh one
#   E2E_WINDOW_PICTURE  a path where scenario 1 also saves the picture of the main window
#                    (the README's docs/main-window.png); it is always saved as
#                    BINARY_DIR/work/main-window.png
#
# Where things are:
# - lib/: report.sh (the scenario registry, checks, notes, screenshots and the closing count),
#   wine.sh (the display and the prefix through scripts/wine-env.sh, the probe, programs
#   started beside the harness, registry reads), vintrell.sh (starting Vintrell and acting on
#   it: controls, keywords, the tray icon and menu, message boxes; the known starting state).
# - scenarios/: one file per group of behaviour; each registers its scenarios with
#   `scenario NUMBER NAME TITLE FUNCTION`. The numbers stay as they are: the docs cite them.
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
#   rectangles in screen coordinates through the Win32 API, and only reads. It also reports
#   the controls' table compiled in from resources/layout.h; scenario 1 compares the
#   rectangles with it (twips * DPI / 1440 pixels, rounded, from the client area's top-left
#   corner).
# - The registry is read with `wine reg query`.
# - Every scenario starts from a known state: no Vintrell or target running, the settings key
#   HKCU\Software\Tolvane\Vintrell deleted, the Run values removed. Each takes a screenshot
#   (ImageMagick `import -window root`) under BINARY_DIR/work/screenshots.
set -uo pipefail

if [[ $# -ne 3 ]]; then
    echo "usage: $0 VINTRELL_EXE BINARY_DIR TEST_WINDOW_EXE" >&2
    exit 2
fi

SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
VINTRELL_EXE=$(realpath "$1")
BIN_DIR=$(realpath "$2")
TEST_WINDOW=$(realpath "$3")

# shellcheck source=lib/report.sh
source "$SOURCE_DIR/lib/report.sh"
# shellcheck source=lib/wine.sh
source "$SOURCE_DIR/lib/wine.sh"
# shellcheck source=lib/vintrell.sh
source "$SOURCE_DIR/lib/vintrell.sh"
for scenario_file in "$SOURCE_DIR"/scenarios/*.sh; do
    # shellcheck source=/dev/null
    source "$scenario_file"
done

select_scenarios
e2e_setup
run_selected
