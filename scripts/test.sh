#!/usr/bin/env bash
# Builds everything from nothing and runs every test: the native suite, and
# the shipped DLL under Wine through our own host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in native win32; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs" >/dev/null
  ctest --preset "$preset" -j"$jobs"
done
