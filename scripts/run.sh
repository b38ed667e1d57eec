#!/bin/bash
# Builds Vintrell.exe and starts it under Wine, in a prefix of its own whose desktop has a
# taskbar with a notification area (where Vintrell goes while monitoring). The 32-bit program,
# the product, where this machine runs 32-bit programs; else its 64-bit twin.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

scripts/install-deps.sh
if vt_runs_32bit; then
    preset=win32
    echo "Starting the 32-bit Vintrell.exe"
else
    preset=win64
    echo "Starting the 64-bit Vintrell.exe: this machine runs no 32-bit programs"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Vintrell
exec scripts/wine-env.sh run "$PWD/build/wineprefix-run-$preset" \
    "$PWD/build/$preset/platform/win32/Vintrell.exe"
