#!/usr/bin/env bash
# Decoding speed side by side: the native benchmark (Google Benchmark, -O2),
# then the same figures for the 32-bit DLL under Wine and the 64-bit one under
# wine64, each beside the WIC codec of the same bitness; then the page, the
# Qt plug-ins, the Python module and mcadec.
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
cmake --build --preset win32 -j"$jobs" --target zuvrek-wic wicbench >/dev/null
echo "== zuvrek-wic.dll (i686) through WIC's factory under Wine, beside GetPicture"
(cd build/win32 && ../../cmake/wine-run.sh regsvr32 /s zuvrek-wic.dll && ../../cmake/wine-run.sh wicbench.exe zuvrek.spi;
 ../../cmake/wine-run.sh regsvr32 /u /s zuvrek-wic.dll)
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$jobs" --target zuvrek spibench >/dev/null
echo "== zuvrek.sph (x86-64) under wine64"
(cd build/win64 && ../../cmake/wine64-run.sh spibench64.exe zuvrek.sph)
cmake --build --preset win64 -j"$jobs" --target zuvrek-wic wicbench >/dev/null
echo "== zuvrek-wic.dll (x86-64) through WIC's factory under wine64, beside GetPicture"
(cd build/win64 && ../../cmake/wine64-run.sh regsvr32 /s zuvrek-wic.dll && ../../cmake/wine64-run.sh wicbench64.exe zuvrek.sph;
 ../../cmake/wine64-run.sh regsvr32 /u /s zuvrek-wic.dll)
cmake --preset web >/dev/null
cmake --build --preset web -j"$jobs" >/dev/null
cmake --build --preset native -j"$jobs" --target mcadec write_bench_pictures >/dev/null
echo "== mca-viewer.html: a 4000 x 3000 24-bit compressed picture, beside mcadec"
pictures=$(mktemp -d)
build/native/bench/write_bench_pictures "$pictures" >/dev/null
node bench/page_bench.mjs "$PWD/build/web/mca-viewer.html" build/native/mcadec "$pictures/large-0.mca"
echo "== the Qt plug-ins (QImageReader) and the Python module beside mca_decode"
cmake --build --preset native -j"$jobs" --target qt5_bench qt6_bench mca_decode_time python_module >/dev/null
for qt in 5 6; do
  QT_PLUGIN_PATH="$PWD/build/native/qt$qt" "build/native/qt${qt}_bench" "$pictures"/large-[012].mca
done
PYTHONPATH="$PWD/build/native/python" /usr/bin/python3 bench/python_bench.py build/native/bench/mca_decode_time \
  "$pictures"/large-[012].mca
rm -rf "$pictures"
echo "== mcadec against our host under Wine and ImageMagick"
scripts/bench-programs.sh
