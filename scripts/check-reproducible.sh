#!/usr/bin/env bash
# Builds each plug-in, WIC codec, mcadec.exe and mcaenc.exe twice from nothing, in two
# different folders, and compares the bytes: they carry no time stamp and no
# build path.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for preset in win32 win64 win-arm64; do
  for copy in a b; do
    cmake --preset "$preset" -B "$scratch/$copy-$preset" -DZUVREK_TESTS=OFF >/dev/null
    cmake --build "$scratch/$copy-$preset" -j"$(nproc)" --target zuvrek zuvrek-wic mcadec mcaenc >/dev/null
  done
  for dll in "$scratch/a-$preset"/zuvrek.sp? "$scratch/a-$preset"/zuvrek.spha "$scratch/a-$preset"/zuvrek-wic*.dll "$scratch/a-$preset"/mcadec.exe \
             "$scratch/a-$preset"/mcaenc.exe; do
    [ -e "$dll" ] || continue
    name=$(basename "$dll")
    if cmp -s "$dll" "$scratch/b-$preset/$name"; then
      echo "reproducible: $name ($(stat -c %s "$dll") bytes, sha256 $(sha256sum "$dll" | cut -c1-16))"
    else
      echo "NOT reproducible: $name differs between two clean builds" >&2
      exit 1
    fi
  done
done
