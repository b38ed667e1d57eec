#!/bin/bash
# Builds Vintrell.exe and starts it under Wine, in a prefix of its own whose desktop has a
# taskbar with a notification area (where Vintrell goes while monitoring). The 32-bit program,
# the product, where this machine runs 32-bit programs; else its 64-bit twin.
# VINTRELL_WINE_ARCH=32 or 64 forces the choice.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

scripts/install-deps.sh
case ${VINTRELL_WINE_ARCH:-} in
    32) preset=win32 why="VINTRELL_WINE_ARCH=32" ;;
    64) preset=win64 why="VINTRELL_WINE_ARCH=64" ;;
    "")
        if vt_runs_32bit; then
            preset=win32 why="the product"
        else
            preset=win64 why="this machine runs no 32-bit programs"
        fi
        ;;
    *)
        echo "VINTRELL_WINE_ARCH must be 32 or 64" >&2
        exit 2
        ;;
esac
echo "Starting the ${preset#win}-bit Vintrell.exe ($why)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Vintrell
exec scripts/wine-env.sh run "$PWD/build/wineprefix-run-$preset" \
    "$PWD/build/$preset/platform/win32/Vintrell.exe"
