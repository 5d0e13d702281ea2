#!/usr/bin/env bash
# mcadec against the road a user has today, in one run on the same pictures:
# our 32-bit host under Wine writing a BMP, then ImageMagick's convert from BMP
# to PNG. Then a batch of 200 small pictures with -j 1 and -j 2. Each figure is
# the median of ROUNDS runs (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
scripts/install-deps.sh imagemagick bc
jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target mcadec write_bench_pictures >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target zuvrek spihost >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/native/bench/write_bench_pictures "$work/in" > "$work/names.txt"
mcadec=$PWD/build/native/mcadec
wine_run=$PWD/cmake/wine-run.sh
host=$PWD/build/win32/spihost.exe
plugin=$PWD/build/win32/zuvrek.spi
convert=/usr/bin/convert

# Median wall time of a command over the rounds, in seconds.
median() {
  local times=()
  for ((r = 0; r < rounds; r++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}

today() {
  "$wine_run" "$host" "$plugin" "$1" "$work/today.bmp" && "$convert" "$work/today.bmp" "$work/today.png"
}

"$wine_run" "$host" "$plugin" "$work/in/large-0.mca" "$work/warm.bmp" >/dev/null  # starts the Wine prefix
echo "| picture | mcadec s | Wine host + convert s | speed-up | mcadec PNG MB | ImageMagick PNG MB | size ratio |"
echo "|---|---|---|---|---|---|---|"
for i in 0 1 2 3; do
  in=$work/in/large-$i.mca
  ours=$(median "$mcadec" -q -f -o "$work/ours.png" "$in")
  theirs=$(median today "$in")
  oursSize=$(stat -c %s "$work/ours.png")
  theirSize=$(stat -c %s "$work/today.png")
  name=$(sed -n "s/^large-$i.mca: //p" "$work/names.txt")
  printf '| %s | %.3f | %.3f | %.1fx | %.2f | %.2f | %.3f |\n' "$name" "$ours" "$theirs" \
    "$(echo "$theirs / $ours" | bc -l)" "$(echo "$oursSize / 1000000" | bc -l)" \
    "$(echo "$theirSize / 1000000" | bc -l)" "$(echo "$oursSize / $theirSize" | bc -l)"
done

one=$(median "$mcadec" -q -f -j 1 -o "$work/out1" "$work"/in/small/*.mca)
two=$(median "$mcadec" -q -f -j 2 -o "$work/out2" "$work"/in/small/*.mca)
echo
echo "| batch of 200 pictures of 320x240 | -j 1 s | -j 2 s | speed-up |"
echo "|---|---|---|---|"
printf '| mcadec to PNG | %.3f | %.3f | %.2fx |\n' "$one" "$two" "$(echo "$one / $two" | bc -l)"
