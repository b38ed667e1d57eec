#!/usr/bin/env bash
# Longer fuzzing of the keyword list's stored form (clang, libFuzzer).
#   scripts/fuzz.sh [seconds] [build-dir]
# New inputs collect in <build-dir>/corpus/keyword_store; a failing input is written there as
# crash-* and the script fails.
set -euo pipefail

seconds=${1:-600}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${2:-$root/build/fuzz}

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target keyword_store_fuzz

corpus=$build/corpus/keyword_store
mkdir -p "$corpus"
"$build/fuzz/keyword_store_fuzz" \
    -max_total_time="$seconds" \
    -fork="$(nproc)" \
    -dict="$root/fuzz/keyword_store.dict" \
    -artifact_prefix="$corpus/" \
    "$corpus" "$root/fuzz/corpus/keyword_store"
