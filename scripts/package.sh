#!/bin/bash
# Makes the release packages: build/packages/Vintrell-1.0.0-win32.zip and -win64.zip, each
# with Vintrell.exe (stripped of its debug information and symbols) and README.txt, and
# SHA256SUMS beside them. The debug information of each goes to
# build/packages/debug/win32|win64/Vintrell.exe.debug, the file the stripped program names.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/packages
rm -rf "$out"
mkdir -p "$out"
for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Vintrell
    cpack --config "build/$preset/CPackConfig.cmake" -B "build/$preset/cpack" >/dev/null
    cp "build/$preset/cpack"/Vintrell-*-"$preset".zip "$out/"
    mkdir -p "$out/debug/$preset"
    cp "build/$preset/platform/win32/Vintrell.exe.debug" "$out/debug/$preset/"
done
(cd "$out" && sha256sum Vintrell-*.zip >SHA256SUMS)
ls -l "$out"
