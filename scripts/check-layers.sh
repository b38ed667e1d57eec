#!/bin/bash
# Fails when a source file includes a folder above its own. The folders are layers, from the
# bottom: resources, platform, settings, keywords, monitor, tray, app; each may use only what
# this table lists (docs/architecture.md). Only platform/win32 and resources include <windows.h>.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
    [resources]="resources"
    [platform]="platform resources"
    [platform/sim]="platform/sim platform resources"
    [platform/win32]="platform/win32 platform resources"
    [settings]="settings platform resources"
    [keywords]="keywords settings platform resources"
    [monitor]="monitor keywords settings platform resources"
    [tray]="tray platform resources"
    [app]="app tray monitor keywords settings platform resources"
    # The program's entry point: the one file above app.
    [platform/win32/main.cpp]="platform/win32 app tray monitor keywords settings platform resources"
)
# The resource scripts include it too; the C++ outside platform/win32 never does.
no_windows_h="platform platform/sim settings keywords monitor tray app"

# The layer a path belongs to: the implementations of the platform are layers of their own.
layer_of() {
    case "$1" in
        platform/sim/*) echo platform/sim ;;
        platform/win32/*) echo platform/win32 ;;
        */*) echo "${1%%/*}" ;;
        *) echo "" ;;
    esac
}

failures=0
while IFS= read -r -d '' file; do
    layer=${allowed[$file]+$file}
    layer=${layer:-$(layer_of "$file")}
    if [[ -z ${allowed[$layer]+set} ]]; then
        echo "$file: its folder is not in the layer table of $0" >&2
        failures=$((failures + 1))
        continue
    fi
    while IFS=: read -r line target; do
        # An include without a folder is one of its own folder's, or generated.
        [[ $target == */* ]] || continue
        if [[ " ${allowed[$layer]} " != *" $(layer_of "$target") "* ]]; then
            echo "$file:$line: includes \"$target\", which $layer may not use" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
        sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
    if [[ " $no_windows_h " == *" $layer "* ]] &&
        grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' "$file" >&2; then
        echo "$file: includes <windows.h>, which only platform/win32 may" >&2
        failures=$((failures + 1))
    fi
done < <(find resources platform settings keywords monitor tray app -type f \
    \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print0 | sort -z)

echo "$failures include(s) against the layers"
exit $((failures > 0))
