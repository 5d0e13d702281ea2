#!/bin/sh
# The WIC codec in a fresh Wine prefix: regsvr32 registers it, the WIC client
# (wic_tests.exe) finds and uses it through Wine's imaging factory, and
# regsvr32 /u leaves the registry as it found it (HKLM\Software exported
# before and after, compared, without what Wine writes on its own).
# Arguments: the Wine runner (cmake/wine-run.sh, wine64-run.sh or
# wine-arm64-run.sh), the build folder holding the codec and the plug-in, the
# test program's name and the codec's file name.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run=$1
cd "$2"
tests=$3
codec=$4
scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix" WINEPREFIX64="$scratch/prefix" WINEPREFIXARM64="$scratch/prefix"
# The prefix's wineserver outlives the last program by a few seconds and
# writes the registry into the prefix as it ends: wait for it before removing
# the folder, and let no failure of the removal fail the test.
cleanup() {
  ${ZUVREK_WINESERVER:-wineserver} -w 2>/dev/null || true
  rm -rf "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
"$run" wineboot -i >/dev/null 2>&1
export_keys() {
  sh "$here/software_keys.sh" "$run" "$scratch/$1.reg" "$scratch/$1.txt"
}
export_keys before
"$run" regsvr32 /s "$codec"
"$run" "$tests"
"$run" regsvr32 /u /s "$codec"
export_keys after
if ! cmp -s "$scratch/before.txt" "$scratch/after.txt"; then
  echo "regsvr32 /u left the registry changed:"
  diff "$scratch/before.txt" "$scratch/after.txt" | head -40 || true
  exit 1
fi
echo "registered, used by the WIC client and unregistered without a trace"
