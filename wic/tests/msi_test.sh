#!/bin/sh
# The WIC codec's installers under Wine, each in a fresh prefix of its
# bitness (the x64 MSI in a 64-bit one, the x86 MSI in a 32-bit one):
# msiexec installs an older version and then this one, which replaces it
# (one entry in Apps & Features); WIC clients of each bitness decode through
# the installed DLLs and read the picture's properties through the handler's
# class; msiexec /x then leaves the registry as it found it and no file in
# Program Files. The x86 MSI refuses a 64-bit Windows, changing nothing.
# Also: two builds of the MSIs are byte for byte the same.
# Arguments: the installers to run, x64 and x86 by default; arm64 runs in the
# arm64 Debian root that scripts/windows-arm64-test.sh prepares and calls it in.
# Needs build/win32, build/win64 and build/win-arm64 built (scripts/test.sh
# builds them first).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^#define MCA_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' "$root/mca/mca.h" | paste -sd.)
scratch=$(mktemp -d)
prefixes=""
# Each prefix's wineserver writes the registry into the prefix as it ends:
# wait for it before removing the folder.
cleanup() {
  for p in $prefixes; do WINEPREFIX=$p wineserver -w 2>/dev/null || true; done
  [ -z "${WINEPREFIXARM64:-}" ] || "$root/cmake/wine-arm64-run.sh" wineserver -w 2>/dev/null || true
  rm -rf "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "$*"
  exit 1
}

"$root/wic/msi/make-msis.sh" "$scratch/new" >/dev/null
"$root/wic/msi/make-msis.sh" "$scratch/again" >/dev/null
"$root/wic/msi/make-msis.sh" "$scratch/old" 0.0.1 >/dev/null
for arch in x64 x86 arm64; do
  cmp -s "$scratch/new/zuvrek-$version-$arch.msi" "$scratch/again/zuvrek-$version-$arch.msi" ||
    fail "two builds of zuvrek-$version-$arch.msi differ"
done

export_keys() {
  sh "$root/wic/tests/software_keys.sh" "$run" "$scratch/keys.reg" "$scratch/$1.txt" || exit 1
}
uninstall_entries() {
  "$run" reg export 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' "$scratch/arp.reg" /y >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$scratch/arp.reg" | tr -d '\r' | grep -A20 '"DisplayName"="zuvrek MCA pictures for Windows"' |
    grep -c '"DisplayVersion"="'"$1"'"' || true
}
msiexec() {
  "$run" msiexec "$@" /qn >/dev/null 2>&1
}

for arch in ${*:-x64 x86}; do
  prefix="$scratch/prefix-$arch"
  if [ $arch = arm64 ]; then
    run="$root/cmake/wine-arm64-run.sh"
    export WINEPREFIXARM64="$prefix"
    clients="$root/build/win-arm64/wic_testsarm64.exe"
  elif [ $arch = x64 ]; then
    prefixes="$prefixes $prefix"
    run="$root/cmake/wine64-run.sh"
    export WINEPREFIX64="$prefix"
    clients="$root/build/win64/wic_tests64.exe $root/build/win32/wic_tests.exe"
  else
    prefixes="$prefixes $prefix"
    run="$root/cmake/wine-run.sh"
    export WINEPREFIX="$prefix"
    clients="$root/build/win32/wic_tests.exe"
  fi
  "$run" wineboot -i >/dev/null 2>&1
  export_keys before
  if [ $arch = x64 ]; then
    msiexec /i "$scratch/new/zuvrek-$version-x86.msi" && fail "the x86 MSI installed on 64-bit Windows"
  fi
  msiexec /i "$scratch/old/zuvrek-0.0.1-$arch.msi" || fail "$arch: installing 0.0.1 failed"
  [ "$(uninstall_entries 0.0.1)" = 1 ] || fail "$arch: 0.0.1 is not in Apps & Features"
  msiexec /i "$scratch/new/zuvrek-$version-$arch.msi" || fail "$arch: installing $version over 0.0.1 failed"
  [ "$(uninstall_entries 0.0.1)" = 0 ] || fail "$arch: 0.0.1 is still installed beside $version"
  [ "$(uninstall_entries "$version")" = 1 ] || fail "$arch: $version is not installed once"
  folder="$prefix/drive_c/Program Files/zuvrek"
  if [ $arch = arm64 ]; then
    # Debian's arm64 Wine 8 sets no ProgramFiles64Folder for an Arm64 package
    # and installs into C:\zuvrek; Windows on Arm uses C:\Program Files\zuvrek.
    folder=$(dirname "$(find "$prefix/drive_c" -name zuvrek-wic-arm64.dll | head -1)")
  fi
  installed=$(ls "$folder" | tr '\n' ' ')
  case $arch in
    x64) expected="LICENSE.txt README-ja.txt README.txt zuvrek-wic-x64.dll zuvrek-wic-x86.dll " ;;
    x86) expected="LICENSE.txt README-ja.txt README.txt zuvrek-wic-x86.dll " ;;
    arm64) expected="LICENSE.txt README-ja.txt README.txt zuvrek-wic-arm64.dll " ;;
  esac
  [ "$installed" = "$expected" ] || fail "$arch: Program Files\\zuvrek holds: $installed"
  # The clients: decoding, scaling and properties through the installed DLLs
  # (the tests that register a DLL of the build folder themselves are left out).
  for client in $clients; do
    (cd "$(dirname "$client")" && "$run" "$client" --gtest_brief=1 \
      --gtest_filter='WicCodec.*:WicProperties.*:-WicCodec.FramesShare*') ||
      fail "$arch: $(basename "$client") failed with the installed codec"
  done
  msiexec /x "$scratch/new/zuvrek-$version-$arch.msi" || fail "$arch: uninstalling failed"
  if [ $arch = arm64 ]; then "$run" wineserver -w; else WINEPREFIX=$prefix wineserver -w; fi
  export_keys after
  if ! cmp -s "$scratch/before.txt" "$scratch/after.txt"; then
    diff "$scratch/before.txt" "$scratch/after.txt" | grep "^[<>] \[" | head -60 || true
    fail "$arch: msiexec /x left the registry changed"
  fi
  [ ! -e "$folder" ] || fail "$arch: msiexec /x left $folder"
  echo "$arch: 0.0.1 then $version installed as one, used by WIC clients, removed without a trace"
done
