#!/bin/bash
# Builds everything and runs every test: the unit tests and one brief benchmark pass with
# sanitizers, a short fuzz run, the Windows tests and the end-to-end suite under Wine, and the
# release packages.
#
# The Windows builds run under Wine where this machine can run them: both where it runs
# 32-bit programs, the 64-bit one alone where it does not (the 32-bit Vintrell.exe is then
# built and checked without being run). VINTRELL_WINE_ARCH=32, 64 or both forces the choice.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

scripts/install-deps.sh
scripts/check-format.sh

cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan -j2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target keyword_store_fuzz
ctest --test-dir build/fuzz -R fuzz --output-on-failure

case ${VINTRELL_WINE_ARCH:-} in
    32) run=(win32) why="VINTRELL_WINE_ARCH=32" ;;
    64) run=(win64) why="VINTRELL_WINE_ARCH=64" ;;
    both) run=(win32 win64) why="VINTRELL_WINE_ARCH=both" ;;
    "")
        if vt_runs_32bit; then
            run=(win32 win64) why="this machine runs 32-bit programs"
        else
            run=(win64) why="this machine runs no 32-bit programs; win32 is built and checked only"
        fi
        ;;
    *)
        echo "VINTRELL_WINE_ARCH must be 32, 64 or both" >&2
        exit 2
        ;;
esac
echo "Windows tests under Wine on: ${run[*]} ($why)"

for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    if [[ " ${run[*]} " == *" $preset "* ]]; then
        scripts/wine-env.sh with-display ctest --preset "$preset"
    else
        ctest --preset "$preset" -L static
    fi
done

scripts/package.sh
python3 tests/package/check_packages.py build/packages 1.0.0
