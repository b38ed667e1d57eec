#!/bin/bash
# Runs a Windows program under Wine, in a prefix of the build tree's own whose default
# desktop is a virtual one (frames, a taskbar and a notification area), on $DISPLAY.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
prefix=$1
shift
if [[ -z "${DISPLAY:-}" ]]; then
    echo "wine-run.sh: no X display; start Xvfb and set DISPLAY (scripts/test.sh does)" >&2
    exit 1
fi
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
(
    # One test at a time creates the prefix; the others wait for it.
    flock 9
    if [[ ! -f "$prefix/.vintrell-ready" ]]; then
        wineboot -i >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        wineserver -k || true
        wineserver -w || true
        touch "$prefix/.vintrell-ready"
    fi
) 9>"$prefix.lock"
exec wine "$@"
