#!/bin/bash
# Builds Vintrell.exe and starts it under Wine, in a prefix of its own whose desktop has a
# taskbar with a notification area (where Vintrell goes while monitoring).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Vintrell

prefix="$PWD/build/wineprefix-run"
exe="$PWD/build/win32/platform/win32/Vintrell.exe"
scripts/with-display.sh cmake/wine-run.sh "$prefix" "$exe"
