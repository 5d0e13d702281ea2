#!/usr/bin/env bash
# mcadec against the road a user has today, in one run on the same pictures
# (the benchmark's own and four unlike them: bands, gradients, noise, photo-like):
# our 32-bit host under Wine writing a BMP, then ImageMagick's convert from BMP
# to PNG. Then a batch of 200 small pictures with -j 1 and -j 2. Then time and
# peak memory of the real gdk-pixbuf-thumbnailer through our loader, and of
# mcadec on a picture of 1.5 GB of pixels. Each time is the median of ROUNDS
# runs (default 5); peak memory is the largest resident size of any run.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
scripts/install-deps.sh imagemagick bc time
jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target mcadec write_bench_pictures make_large pixbuf_test_data >/dev/null
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
for picture in large-0 large-1 large-2 large-3 varied-0 varied-1 varied-2 varied-3; do
  in=$work/in/$picture.mca
  ours=$(median "$mcadec" -q -f -o "$work/ours.png" "$in")
  theirs=$(median today "$in")
  oursSize=$(stat -c %s "$work/ours.png")
  theirSize=$(stat -c %s "$work/today.png")
  name=$(sed -n "s/^$picture.mca: //p" "$work/names.txt")
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

# Median wall time and largest peak resident size (MB) of a command.
time_and_peak() {
  local times=() peak=0
  for ((r = 0; r < rounds; r++)); do
    local figures
    figures=$(/usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1)
    times+=("${figures% *}")
    [ "${figures#* }" -gt "$peak" ] && peak=${figures#* }
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')" \
    "$(echo "$peak / 1024" | bc -l)"
}

export GDK_PIXBUF_MODULE_FILE=$PWD/build/native/pixbuf-test/loaders.cache XDG_DATA_HOME=$PWD/build/native/pixbuf-test
build/native/make_large --sparse "$work/sparse.mca" 16000 44700 >/dev/null
build/native/make_large --sparse "$work/listed.mca" 16000 100 447 >/dev/null
build/native/make_large --sparse "$work/huge.mca" 16000 31250 >/dev/null
echo
echo "| gdk-pixbuf-thumbnailer -s 256 | s | peak MB |"
echo "|---|---|---|"
for entry in "16000x44700 in 85 bytes:sparse.mca" "16000x100 listed 447 times:listed.mca" \
             "$(sed -n 's/^large-0.mca: //p' "$work/names.txt"):in/large-0.mca"; do
  read -r seconds peak <<< "$(time_and_peak gdk-pixbuf-thumbnailer -s 256 "$work/${entry#*:}" "$work/thumb.png")"
  printf '| %s | %.2f | %.1f |\n' "${entry%%:*}" "$seconds" "$peak"
done
echo
echo "| mcadec to PNG | s | peak MB |"
echo "|---|---|---|"
read -r seconds peak <<< "$(time_and_peak "$mcadec" -q -f --size-limit 0 --dimension-limit 0 -o "$work/huge.png" "$work/huge.mca")"
printf '| 16000x31250 (1.5 GB of pixels) | %.2f | %.1f |\n' "$seconds" "$peak"
read -r seconds peak <<< "$(time_and_peak "$mcadec" -q -f -o "$work/ours.png" "$work/in/large-0.mca")"
printf '| %s | %.2f | %.1f |\n' "$(sed -n 's/^large-0.mca: //p' "$work/names.txt")" "$seconds" "$peak"
