#!/usr/bin/env bash
# Writes the WIC codec's installers into the folder named:
#   zuvrek-VERSION-x64.msi  zuvrek-wic-x64.dll and zuvrek-wic-x86.dll, for 64-bit Windows
#   zuvrek-VERSION-x86.msi  zuvrek-wic-x86.dll, for 32-bit Windows
#   zuvrek-VERSION-arm64.msi  zuvrek-wic-arm64.dll, for Windows on Arm
# from the DLLs already built in build/win64, build/win32 and build/win-arm64,
# with wixl (msitools). wixl knows no ARM64: the Arm64 installer is written as
# an x64 one (64-bit components, Program Files) and given the Arm64 template
# after, which is all that tells a package's platform. VERSION is the
# project's, or the second argument (the tests make an older one). The same
# inputs give the same bytes: the ProductCode follows the version (a new
# version is a new product, which the upgrade replaces), the package code the
# contents, and the clock is held at a fixed date while the database is
# written.
set -euo pipefail
out=$(realpath "$1")
cd "$(dirname "$0")/../.."
version=${2:-$(sed -n 's/^#define MCA_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' mca/mca.h | paste -sd.)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build/win64/zuvrek-wic.dll "$stage/zuvrek-wic-x64.dll"
cp build/win32/zuvrek-wic.dll "$stage/zuvrek-wic-x86.dll"
cp build/win-arm64/zuvrek-wic-arm64.dll "$stage/zuvrek-wic-arm64.dll"
scripts/user-readmes.sh "$version" "$stage"
cp LICENSE "$stage/LICENSE.txt"
touch -d "2026-01-01 00:00:00 UTC" "$stage"/*  # the cabinet keeps each file's date
mkdir -p "$out"
# The clock stands still (-f): started at a date and left to run, a build
# that crosses a second would write other times than the next one.
frozen() { faketime -f "2026-01-01 00:00:00" "$@"; }
uuid() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, sys.argv[1])).upper())' "$1"; }
for arch in x64 x86 arm64; do
  msi="$out/zuvrek-$version-$arch.msi"
  rm -f "$msi"
  product=$(uuid "zuvrek product $arch $version")
  package=$(uuid "zuvrek package $arch $version $(cat wic/msi/zuvrek.wxs "$stage"/* | sha256sum)")
  # wixl takes the files' sources relative to the folder it runs in.
  (cd "$stage" && frozen wixl -a "${arch/arm64/x64}" -D Version="$version" -D Arch="$arch" -D ProductCode="$product" \
    -o "$msi" "$OLDPWD/wic/msi/zuvrek.wxs")
  # wixl writes no SelfReg table: the DLLs' own registration runs after the
  # files are installed and before they are removed.
  {
    printf 'File_\tCost\ns72\tI2\nSelfReg\tFile_\n'
    case $arch in
      x64) printf 'zuvrek_wic_x64.dll\t1\nzuvrek_wic_x86.dll\t1\n' ;;
      x86) printf 'zuvrek_wic_x86.dll\t1\n' ;;
      arm64) printf 'zuvrek_wic_arm64.dll\t1\n' ;;
    esac
  } > "$stage/SelfReg.idt"
  template=$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')
  [ "$arch" = arm64 ] && template=Arm64${template#x64}
  frozen msibuild "$msi" -i "$stage/SelfReg.idt" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('SelfUnregModules', 2200)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('SelfRegModules', 5600)" \
    -s "zuvrek MCA pictures for Windows" "The zuvrek developers" "$template" "{$package}"
  echo "wrote $msi"
done
