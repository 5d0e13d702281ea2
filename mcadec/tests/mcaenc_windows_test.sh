#!/bin/sh
# mcaenc.exe under Wine, held to the Linux mcaenc's bytes, in two steps as
# windows_test.sh is (the ARM64 one runs in an arm64 root):
#   mcaenc_windows_test.sh prepare NATIVE_BUILD SOURCE FOLDER
#     FOLDER/in: the fuzz corpus's pictures as PNG (mcadec's: 8-bit and
#     24-bit, odd sizes), the sample as BMP and PPM and under a Japanese name;
#     FOLDER/expected: what the Linux mcaenc writes of them, and of the sample
#     after itself as the template (like.mca).
#   mcaenc_windows_test.sh run EMULATOR MCAENC_EXE FOLDER
#     `mcaenc.exe -o OUT *.png *.bmp *.ppm` (wildcards its own) and the
#     template run must write exactly the expected files, byte for byte.
set -eu
if [ "$1" = prepare ]; then
  native=$2 source=$3 folder=$4
  rm -rf "$folder"
  mkdir -p "$folder/in" "$folder/expected"
  "$native/mcadec" -q -j 1 -o "$folder/in" "$source"/fuzz/corpus/picture/* 2>/dev/null || true
  "$native/mcadec" -q -o "$folder/in/写真 サンプル.png" "$source/samples/sample.mca"
  "$native/mcadec" -q -o "$folder/in/sample-bmp.bmp" "$source/samples/sample.mca"
  "$native/mcadec" -q -o "$folder/in/sample-ppm.ppm" "$source/samples/sample.mca"
  cp "$source/samples/sample.mca" "$folder/sample.mca"
  "$native/mcaenc" -q -j 1 -o "$folder/expected" "$folder"/in/*
  "$native/mcaenc" -q --like "$folder/sample.mca" -o "$folder/expected-like.mca" "$folder/in/写真 サンプル.png"
  exit 0
fi
run=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
exe=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
folder=$4
out=$(basename "$exe" .exe)-out
cd "$folder/in"
rm -rf "../$out"
"$run" "$exe" -q -o "../$out" '*.png' '*.bmp' '*.ppm'
"$run" "$exe" -q --like ../sample.mca -o "../$out/like.mca" "写真 サンプル.png"
cd ..
expected=$(ls expected | wc -l)
[ "$expected" -gt 100 ] || { echo "only $expected expected pictures"; exit 1; }
[ "$(ls "$out" | grep -v '^like.mca$' | LC_ALL=C sort)" = "$(ls expected | LC_ALL=C sort)" ] ||
  { echo "mcaenc.exe wrote other files than mcaenc"; exit 1; }
for f in expected/*; do
  cmp -s "$f" "$out/$(basename "$f")" || { echo "$(basename "$f") differs from mcaenc's"; exit 1; }
done
cmp -s expected-like.mca "$out/like.mca" || { echo "the template's file differs from mcaenc's"; exit 1; }
rm -rf "$out"
echo "mcaenc_windows_test: $expected pictures as mcaenc writes them, a Japanese name, a wildcard, a template"
