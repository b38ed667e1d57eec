#!/bin/bash
# Builds everything and runs every test: the unit tests and one brief benchmark pass with
# sanitizers, a short fuzz run, then the Windows tests and the end-to-end suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan -j2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target keyword_store_fuzz
ctest --test-dir build/fuzz -R fuzz --output-on-failure

cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/with-display.sh ctest --preset win32
