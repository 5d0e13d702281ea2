#!/usr/bin/env bash
# The Windows on Arm DLLs through the real thing on this x86-64 machine:
# Debian's arm64 Wine in an arm64 Debian 12 root (made once with mmdebstrap,
# kept in build/arm64-windows-tools/root), its programs run by a static
# qemu-aarch64 registered with binfmt_misc. Runs the host's and the WIC
# codec's tests (ctest --preset win-arm64, built first) and the ARM64 MSI's
# install, use and removal. The registration, the mounts and Wine's processes
# are undone on the way out; where binfmt_misc cannot be mounted the stage is
# skipped with a line that says so.
set -euo pipefail
cd "$(dirname "$0")/.."
project=$PWD
tools=$project/build/arm64-windows-tools
root=$tools/root
binfmt=/proc/sys/fs/binfmt_misc
mounted_binfmt=0
registered=0
mounts=()

cleanup() {
  if [ -x "$root/usr/lib/wine/wineserver" ] && [ ${#mounts[@]} -gt 0 ]; then
    cmake/wine-arm64-run.sh wineserver -k 2>/dev/null || true
  fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true; done
  [ $registered -eq 0 ] || echo -1 > "$binfmt/qemu-aarch64"
  [ $mounted_binfmt -eq 0 ] || umount "$binfmt"
}
trap cleanup EXIT

skip() {
  echo "== win-arm64: SKIPPED: $*; the ARM64 DLLs are built but not run"
  exit 0
}

if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "binfmt_misc cannot be mounted here"
  mounted_binfmt=1
fi

# A statically linked qemu-aarch64, unpacked from Debian's qemu-user-static
# (installing it would remove qemu-user-binfmt).
qemu=$tools/qemu/usr/bin/qemu-aarch64-static
if [ ! -x "$qemu" ]; then
  rm -rf "$tools/qemu" "$tools/deb"
  mkdir -p "$tools/deb"
  (cd "$tools/deb" && apt-get download -q qemu-user-static 2>/dev/null)
  dpkg-deb -x "$tools"/deb/qemu-user-static_*.deb "$tools/qemu"
  rm -rf "$tools/deb"
fi

# Registered with F, so that the kernel opens qemu now and programs inside
# the root find it. A registration of the machine's own is used if it has F.
if [ -e "$binfmt/qemu-aarch64" ]; then
  grep -q '^flags:.*F' "$binfmt/qemu-aarch64" || skip "the machine's qemu-aarch64 binfmt entry lacks the F flag"
else
  printf '%s' ':qemu-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    > "$binfmt/register"
  registered=1
fi

if [ ! -x "$root/usr/lib/wine/wine64" ]; then
  rm -rf "$root"
  mmdebstrap --quiet --arch=arm64 --variant=minbase --include=wine64,wine bookworm "$root"
fi

# The project and /tmp at their own paths inside, and a /proc for Wine.
mkdir -p "$root$project"
for m in "$project" /tmp; do
  mount --bind "$m" "$root$m"
  mounts+=("$root$m")
done
mount -t proc proc "$root/proc"
mounts+=("$root/proc")

echo "== win-arm64"
ctest --preset win-arm64 -j"$(nproc)"
echo "== Windows installers: ARM64"
wic/tests/msi_test.sh arm64
