#!/usr/bin/env bash
# The main job: builds zuvrek.spi and our host for Windows, then decodes the
# bundled sample through the real DLL under Wine into build/sample.bmp.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target zuvrek spihost >/dev/null
cd build/win32
../../cmake/wine-run.sh spihost.exe zuvrek.spi ../../samples/sample.mca ../sample.bmp
echo "The picture is in $(cd .. && pwd)/sample.bmp"
