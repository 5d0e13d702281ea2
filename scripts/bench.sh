#!/usr/bin/env bash
# Decoding speed side by side: the native benchmark (Google Benchmark, -O2),
# then the same figures for the 32-bit DLL under Wine and the 64-bit one under
# wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target decode_bench >/dev/null
build/native/bench/decode_bench "$@"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target zuvrek spibench >/dev/null
echo "== zuvrek.spi (i686) under Wine"
(cd build/win32 && ../../cmake/wine-run.sh spibench.exe zuvrek.spi)
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$jobs" --target zuvrek spibench >/dev/null
echo "== zuvrek.sph (x86-64) under wine64"
(cd build/win64 && ../../cmake/wine64-run.sh spibench64.exe zuvrek.sph)
echo "== mcadec against our host under Wine and ImageMagick"
scripts/bench-programs.sh
