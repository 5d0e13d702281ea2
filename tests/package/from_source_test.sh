#!/usr/bin/env bash
# Building from source as docs/linux.md tells a user, in a fresh Debian 12
# root (mmdebstrap) that has only what that page says to install: the
# `programs` preset configured and built, `cmake --install` into /usr, then
# the installed mcadec converts the sample (to the native build's PNG, byte
# for byte), the installed mcaenc writes it back after the original (to the
# native build's MCA), and the installed loader thumbnails it. Needs root (chroot) and
# the network (Debian's mirror); anywhere else it says it is skipped.
#   tests/package/from_source_test.sh NATIVE_BUILD
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:?usage: from_source_test.sh NATIVE_BUILD_DIR}" && pwd)
if [ "$(id -u)" -ne 0 ] || ! command -v mmdebstrap >/dev/null; then
  echo "from_source_test: skipped (needs root and mmdebstrap)"
  exit 0
fi
# The page's own lines: the packages, the build and the install.
packages=$(sed -n 's/^    sudo apt-get install \(cmake .*\)$/\1/p' docs/linux.md)
steps=$(sed -n -e 's/^    \(cmake --preset programs .*\)$/\1/p' \
               -e 's/^    sudo \(cmake --install build\/programs --prefix \/usr\) .*$/\1/p' docs/linux.md)
[ -n "$packages" ] && [ "$(echo "$steps" | wc -l)" -eq 2 ] || { echo "docs/linux.md's build lines are not found"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mmdebstrap --quiet --variant=apt --include="${packages// /,}" bookworm "$root"
mkdir "$root/src"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$root/src"
chroot "$root" /bin/sh -ec "cd /src; $(echo "$steps" | paste -sd';'); mcadec -q -o /tmp/sample.png samples/sample.mca;
  mcaenc -q --like samples/sample.mca -o /tmp/again.mca /tmp/sample.png;
  gdk-pixbuf-thumbnailer -s 64 samples/sample.mca /tmp/thumb.png"
"$build/mcadec" -q -f -o "$work/sample.png" samples/sample.mca
cmp "$work/sample.png" "$root/tmp/sample.png" || { echo "the installed mcadec writes other bytes"; exit 1; }
"$build/mcaenc" -q -f --like samples/sample.mca -o "$work/again.mca" "$work/sample.png"
cmp "$work/again.mca" "$root/tmp/again.mca" || { echo "the installed mcaenc writes other bytes"; exit 1; }
[ "$(head -c 8 "$root/tmp/thumb.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  { echo "the installed loader made no thumbnail"; exit 1; }
echo "from_source_test: built, installed and used in a Debian 12 root with only docs/linux.md's packages"
