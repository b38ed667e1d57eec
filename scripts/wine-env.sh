#!/bin/bash
# Wine and the X display for every script that runs Windows programs: the Windows tests (as
# CTest's emulator), the end-to-end suite, the measurements and scripts/run.sh.
#
# Sourced, it defines:
#   vt_runs_32bit            true when this machine runs 32-bit programs (it runs one to see)
#   vt_pe_bits EXE           32 or 64: the bitness of a Windows executable
#   vt_display [LOG]         uses $DISPLAY when it answers, else starts a private Xvfb
#   vt_prefix BITS PREFIX [fresh]
#                            points Wine at PREFIX (a win32 or win64 prefix), creating it with
#                            a virtual desktop and no crash dialog; `fresh` makes it anew.
#                            Exports WINE (the prefix's loader) and WINESERVER.
#   vt_wine EXE [ARGS...]    runs a Windows program with the loader for its bitness
#   vt_cleanup               ends the prefix's wineserver and the private Xvfb
# Run as a command:
#   wine-env.sh run PREFIX EXE [ARGS...]   runs EXE in PREFIX (of EXE's bitness) on a display
#   wine-env.sh with-display CMD [ARGS...] runs a command on a display
#   wine-env.sh arches                     prints the Windows builds this machine runs: "32 64"
#                                          or "64"

VT_WINE32=/usr/lib/wine/wine
VT_WINE64=/usr/lib/wine/wine64
VT_XVFB_PID=""

# /usr/bin/wine picks the 32-bit loader whenever wine32 is installed, even where the kernel
# cannot run it, so ask the loader itself.
vt_runs_32bit() {
    [[ -x $VT_WINE32 ]] && "$VT_WINE32" --version >/dev/null 2>&1
}

vt_pe_bits() {
    local offset machine
    offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [[ -n $offset ]] || return 1
    machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')
    case $machine in
        014c) echo 32 ;;
        8664) echo 64 ;;
        *) return 1 ;;
    esac
}

vt_display_answers() { timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1; }

vt_display() {
    local log=${1:-/dev/null} n i
    if [[ -n ${DISPLAY:-} ]] && vt_display_answers; then
        return 0
    fi
    for n in $(seq 87 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$log" 2>&1 &
        VT_XVFB_PID=$!
        export DISPLAY=":$n"
        for i in $(seq 50); do
            vt_display_answers && return 0
            sleep 0.1
        done
        kill "$VT_XVFB_PID" 2>/dev/null
        VT_XVFB_PID=""
    done
    echo "wine-env.sh: no Xvfb display could be started" >&2
    return 1
}

vt_prefix() {
    local bits=$1 prefix=$2 fresh=${3:-}
    export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ $bits == 64 ]]; then
        export WINEARCH=win64 WINELOADER=$VT_WINE64
    else
        export WINEARCH=win32 WINELOADER=$VT_WINE32
    fi
    export WINE=$WINELOADER WINESERVER=/usr/lib/wine/wineserver
    mkdir -p "$(dirname "$prefix")"
    (
        # One caller at a time creates the prefix; the others wait for it.
        flock 9
        if [[ $fresh == fresh || ! -f $prefix/.vintrell-ready ]]; then
            "$WINESERVER" -k >/dev/null 2>&1
            rm -rf "$prefix"
            "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || exit 1
            "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
                </dev/null >/dev/null 2>&1 || exit 1
            "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
                </dev/null >/dev/null 2>&1 || exit 1
            # A crashing program must fail its test, not leave a dialog waiting for a person.
            "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 \
                /f </dev/null >/dev/null 2>&1 || exit 1
            # Wine draws the caption buttons with Marlett; this Wine does not load the fonts of
            # its own data folder, so the prefix gets a copy (else they read "0 1 r").
            if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
                cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" || exit 1
            fi
            # The desktop setting is read when the wineserver and explorer start.
            "$WINESERVER" -k >/dev/null 2>&1
            "$WINESERVER" -w
            touch "$prefix/.vintrell-ready"
        fi
    ) 9>"$prefix.lock" || {
        echo "wine-env.sh: the $bits-bit prefix $prefix could not be made" >&2
        return 1
    }
}

vt_wine() {
    local bits
    bits=$(vt_pe_bits "$1") || bits=${WINEARCH#win}
    if [[ $bits == 64 ]]; then
        "$VT_WINE64" "$@"
    else
        "$VT_WINE32" "$@"
    fi
}

vt_cleanup() {
    [[ -n ${WINEPREFIX:-} ]] && "${WINESERVER:-wineserver}" -k >/dev/null 2>&1
    if [[ -n $VT_XVFB_PID ]]; then
        kill "$VT_XVFB_PID" 2>/dev/null
        VT_XVFB_PID=""
    fi
    return 0
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -uo pipefail
    case ${1:-} in
        run)
            [[ $# -ge 3 ]] || { echo "usage: $0 run PREFIX EXE [ARGS...]" >&2; exit 2; }
            prefix=$2 exe=$3
            shift 3
            bits=$(vt_pe_bits "$exe") || { echo "wine-env.sh: $exe is no Windows program" >&2; exit 2; }
            own_display=""
            [[ -n ${DISPLAY:-} ]] || own_display=1
            vt_display || exit 1
            vt_prefix "$bits" "$prefix" || exit 1
            vt_wine "$exe" "$@"
            rc=$?
            # A display of our own goes with the program; the wineserver outlives it for the
            # next program in the same prefix.
            [[ -n $own_display ]] && kill "$VT_XVFB_PID" 2>/dev/null
            exit $rc
            ;;
        with-display)
            shift
            vt_display || exit 1
            "$@"
            rc=$?
            [[ -n $VT_XVFB_PID ]] && kill "$VT_XVFB_PID" 2>/dev/null
            exit $rc
            ;;
        arches)
            if vt_runs_32bit; then echo "32 64"; else echo "64"; fi
            ;;
        *)
            echo "usage: $0 run PREFIX EXE [ARGS...] | with-display CMD [ARGS...] | arches" >&2
            exit 2
            ;;
    esac
fi
