#!/bin/sh
# mcadec.exe under Wine, held to the Linux mcadec's bytes. Two steps, so that
# the ARM64 one can run in an arm64 root where the Linux build cannot:
#   windows_test.sh prepare NATIVE_MCADEC SOURCE FOLDER
#     FOLDER/in: the sample under a Japanese name and the fuzz corpus's
#     pictures as NAME.mca; FOLDER/expected: what the Linux mcadec writes
#     for each (none for a picture it refuses); FOLDER/large.mca, a picture
#     that takes a while (make_large, beside NATIVE_MCADEC).
#   windows_test.sh run EMULATOR MCADEC_EXE FOLDER
#     `mcadec.exe -o OUT *.mca` in FOLDER/in (the program expands the
#     wildcard itself) must write exactly the expected files, byte for byte;
#     then one file into a folder past 260 characters, one over an existing
#     file (refused, then replaced with --force), and nothing left behind;
#     and Ctrl-C (SIGINT, which Wine hands to the console's handler) while
#     the large picture is written leaves no file and says so.
set -eu
step=$1
if [ "$step" = prepare ]; then
  native=$2 source=$3 folder=$4
  rm -rf "$folder"
  mkdir -p "$folder/in" "$folder/expected"
  cp "$source/samples/sample.mca" "$folder/in/写真 サンプル.mca"
  for f in "$source"/fuzz/corpus/picture/*; do cp "$f" "$folder/in/$(basename "$f").mca"; done
  "$native" -q -j 1 -o "$folder/expected" "$folder"/in/*.mca 2>/dev/null || true
  "$(dirname "$native")/make_large" --filled "$folder/large.mca" 14000 14000 >/dev/null
  exit 0
fi
run=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
exe=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
folder=$4
out=$(basename "$exe" .exe)-out
cd "$folder/in"
rm -rf "../$out"
# Some pictures are broken on purpose: the run says so and goes on.
"$run" "$exe" -q -o "../$out" '*.mca' >/dev/null 2>&1 || true
cd ..
expected=$(ls expected | wc -l)
[ "$expected" -gt 100 ] || { echo "only $expected expected pictures"; exit 1; }
[ "$(ls "$out" | LC_ALL=C sort)" = "$(ls expected | LC_ALL=C sort)" ] ||
  { echo "mcadec.exe wrote other files than mcadec: $(ls "$out" | wc -l) of $expected"; exit 1; }
for f in expected/*; do
  cmp -s "$f" "$out/$(basename "$f")" || { echo "$(basename "$f") differs from mcadec's"; exit 1; }
done
[ -f "$out/写真 サンプル.png" ] || { echo "the Japanese name was not kept"; exit 1; }
# A folder past MAX_PATH (260 characters).
deep=$out/deep
while [ ${#deep} -lt 300 ]; do deep=$deep/folder-of-a-long-path; done
mkdir -p "$deep"
"$run" "$exe" -q -o "$deep/sample.png" "in/写真 サンプル.mca"
cmp -s "$deep/sample.png" "expected/写真 サンプル.png" || { echo "no picture past 260 characters"; exit 1; }
# An existing file is kept without --force, and replaced whole with it.
echo keep > "$out/kept.png"
if "$run" "$exe" -q -o "$out/kept.png" "in/写真 サンプル.mca" 2>/dev/null; then
  echo "an existing file was replaced without --force"; exit 1
fi
[ "$(cat "$out/kept.png")" = keep ] || { echo "the existing file changed"; exit 1; }
"$run" "$exe" -q -f -o "$out/kept.png" "in/写真 サンプル.mca"
cmp -s "$out/kept.png" "expected/写真 サンプル.png" || { echo "--force did not replace the file"; exit 1; }
left=$(find "$out" -name '.mcadec-*' | wc -l)
[ "$left" -eq 0 ] || { echo "$left temporary files left behind"; exit 1; }
# Ctrl-C once the large picture's file is being written.
"$run" "$exe" -o "$out/large.png" large.mca 2>"$out/said.txt" &
program=$!
tries=0
until [ -n "$(find "$out" -name '.mcadec-*')" ] || [ $tries -ge 240 ]; do sleep 0.25; tries=$((tries + 1)); done
kill -INT $program
status=0
wait $program || status=$?
[ $status -ne 0 ] || { echo "an interrupted mcadec.exe ended with 0"; exit 1; }
[ -z "$(find "$out" -name '.mcadec-*' -o -name large.png)" ] || { echo "Ctrl-C left a file behind"; exit 1; }
grep -q "^mcadec: interrupted: nothing was written" "$out/said.txt" || { echo "Ctrl-C said: $(cat "$out/said.txt")"; exit 1; }
rm -rf "$out"
echo "windows_test: $expected pictures as mcadec writes them, a Japanese name, a wildcard, a long path, --force, Ctrl-C"
