#!/usr/bin/env bash
# Installs, on Debian, what is missing for the purposes named, and any further
# packages named as arguments:
#   programs  mcadec and the gdk-pixbuf loader (scripts/install-deps.sh programs)
#   windows   the plug-ins, cross-built with mingw-w64 and run under Wine
#   tests     the test suites, sanitizers, fuzzers, benchmarks and the Arm build
# With no purpose named, all three.
set -euo pipefail
programs=(cmake make g++ pkg-config zlib1g-dev libcli11-dev libgdk-pixbuf-2.0-dev libgdk-pixbuf2.0-bin
          shared-mime-info libglib2.0-bin)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 zip unzip)
tests=(googletest libgtest-dev libbenchmark-dev valgrind clang libclang-rt-14-dev gcc-multilib g++-multilib
       libspng-dev python3 lld qemu-user zlib1g-dev:arm64 libstdc++-12-dev:arm64 dpkg-dev lintian file)
packages=()
purposes=0
for word in "$@"; do
  case $word in
    programs) packages+=("${programs[@]}"); purposes=1 ;;
    windows) packages+=("${programs[@]:0:3}" "${windows[@]}"); purposes=1 ;;
    tests) packages+=("${programs[@]}" "${windows[@]}" "${tests[@]}"); purposes=1 ;;
    *) packages+=("$word") ;;
  esac
done
[ $purposes -eq 1 ] || packages+=("${programs[@]}" "${windows[@]}" "${tests[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
# Packages of other architectures (wine32:i386, the Arm build's libraries).
for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/.*:\(i386\|arm64\)$/\1/p' | sort -u); do
  dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
done
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
