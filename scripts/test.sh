#!/bin/bash
# Builds everything and runs every test: unit tests (plain and with sanitizers), a short fuzz
# run, one brief benchmark pass, then the Windows tests and the end-to-end suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan -j2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target keyword_store_fuzzer
build/fuzz/fuzz/keyword_store_fuzzer -max_total_time=10 -print_final_stats=0 2>&1 | tail -n 2

cmake --preset native-release >/dev/null
cmake --build --preset native-release --target vintrell_bench
build/native-release/bench/vintrell_bench --benchmark_min_time=0.01 \
    --benchmark_filter='BM_Sweep/1000/100'

cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/with-display.sh ctest --preset win32
