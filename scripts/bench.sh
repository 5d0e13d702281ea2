#!/usr/bin/env bash
# Decoding speed side by side: the native benchmark (Google Benchmark, -O2),
# then the same figures for the 32-bit DLL under Wine and the 64-bit one under
# wine64, each beside the WIC codec of the same bitness; then the page, the
# Qt plug-ins, the Python module and mcadec. With --write, what it prints
# also replaces the figures in docs/benchmarks.md (between its markers), the
# one place they are written.
set -euo pipefail
cd "$(dirname "$0")/.."
write=no
if [ "${1:-}" = --write ]; then
  write=yes
  shift
  printed=$(mktemp)
  exec 3>&1 > >(tee "$printed")
  tee_pid=$!
fi
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
# One row of a program beside ImageMagick's convert writing PNG from the
# picture's PPM: medians of 5 runs, interleaved. Arguments: the picture, the
# program's output, then the program and its arguments.
beside_convert() {
  local picture=$1 out=$2 ours=() theirs=() round start middle end
  shift 2
  for round in 1 2 3 4 5; do
    start=$(date +%s%N); "$@"
    middle=$(date +%s%N); convert "$pictures/$picture.ppm" "$pictures/theirs.png"
    end=$(date +%s%N); ours+=($((middle - start))) theirs+=($((end - middle)))
  done
  awk -v p="$picture" -v a="$(printf '%s\n' "${ours[@]}" | sort -n | sed -n 3p)" \
    -v b="$(printf '%s\n' "${theirs[@]}" | sort -n | sed -n 3p)" -v x="$(stat -c %s "$out")" \
    -v y="$(stat -c %s "$pictures/theirs.png")" \
    'BEGIN { printf "| %s | %.3f | %.3f | %.2fx | %.2f | %.2f | %.3f |\n", p, a / 1e9, b / 1e9, b / a, x / 1e6, y / 1e6, x / y }'
}
echo "== mcadec's PNG beside ImageMagick's convert of the same pixels from PPM (median of 5, interleaved)"
scripts/install-deps.sh imagemagick >/dev/null
cmake --build --preset native -j"$jobs" --target png_stages mcaenc encode_bench >/dev/null
echo "| picture | mcadec s | convert s | speed-up | mcadec MB | convert MB | size ratio |"
echo "|---|---|---|---|---|---|---|"
for picture in large-0 large-1 varied-0 varied-1 varied-3; do
  build/native/mcadec -q -f -o "$pictures/$picture.ppm" "$pictures/$picture.mca"
  beside_convert $picture "$pictures/ours.png" build/native/mcadec -q -f -o "$pictures/ours.png" "$pictures/$picture.mca"
done
echo "Where mcadec's time goes, each stage on one thread:"
(cd "$pictures" && "$OLDPWD/build/native/bench/png_stages" large-0.mca large-1.mca varied-0.mca varied-1.mca varied-3.mca)
echo "== mcaenc writing MCA beside ImageMagick's convert writing PNG, from the same PPM (median of 5, interleaved)"
echo "| picture | mcaenc s | convert s | speed-up | MCA MB | PNG MB | size ratio |"
echo "|---|---|---|---|---|---|---|"
for picture in large-0 large-1 varied-0 varied-1 varied-3; do
  beside_convert $picture "$pictures/ours.mca" build/native/mcaenc -q -f -o "$pictures/ours.mca" "$pictures/$picture.ppm"
done
echo "== mca_encode at each level beside a plain greedy LZSS coder on the same frames (median of 3)"
(cd "$pictures" && "$OLDPWD/build/native/bench/encode_bench" large-0.mca large-1.mca large-2.mca large-3.mca \
  varied-0.mca varied-1.mca varied-2.mca varied-3.mca)
rm -rf "$pictures"
echo "== mcadec against our host under Wine and ImageMagick"
scripts/bench-programs.sh
if [ $write = yes ]; then
  exec >&3 3>&-
  wait "$tee_pid"  # tee's last lines
  # Headings from the parts' "==" lines, tables as printed, other output kept verbatim.
  figures=$(awk '
    /^== / { if (raw) { print "```"; raw = 0 } print "#### " substr($0, 4); print ""; next }
    /^\|/ || /^$/ { if (raw) { print "```"; raw = 0 } print; next }
    { if (!raw) { print "```"; raw = 1 } print }
    END { if (raw) print "```" }' "$printed")
  FIGURES=$figures awk '
    /^<!-- bench.sh writes the figures below -->$/ { print; print ENVIRON["FIGURES"]; skip = 1; next }
    /^<!-- bench.sh: end -->$/ { skip = 0 }
    !skip { print }' docs/benchmarks.md > "$printed.page"
  mv "$printed.page" docs/benchmarks.md
  rm -f "$printed"
fi
