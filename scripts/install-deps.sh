#!/usr/bin/env bash
# Installs, on Debian, whatever building and testing need and is missing, and
# any further packages named as arguments.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev libbenchmark-dev valgrind
          clang libclang-rt-14-dev gcc-multilib g++-multilib
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 zip unzip
          pkg-config libspng-dev libcli11-dev libgdk-pixbuf-2.0-dev libgdk-pixbuf2.0-bin
          shared-mime-info libglib2.0-bin python3 lld qemu-user zlib1g-dev:arm64 libstdc++-12-dev:arm64 "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
for arch in i386 arm64; do
  dpkg --print-foreign-architectures | grep -qx $arch || $sudo dpkg --add-architecture $arch
done
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
