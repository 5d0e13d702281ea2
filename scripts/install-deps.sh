#!/usr/bin/env bash
# Installs, on Debian, what is missing for the purposes named, and any further
# packages named as arguments:
#   programs  the Linux front ends (mcadec, the gdk-pixbuf loader, the Qt
#             plug-ins, the Python module)
#   windows   the plug-ins and mcadec.exe, cross-built with mingw-w64 and run
#             under Wine (and Debian's sources of libdeflate, libspng and zlib,
#             the versions the Linux build links, in build/windows-tools/)
#   web       the WebAssembly module and mca-viewer.html (Debian's clang and
#             lld for wasm32-wasi, Node.js)
#   arm64     the Windows on Arm DLLs: zig (the ziglang wheel at the version
#             cmake/zig-requirements.txt pins, in build/arm64-windows-tools/zig),
#             llvm-windres, and mmdebstrap for the arm64 root their tests run in
#   tests     the test suites, sanitizers, fuzzers, benchmarks, the Arm build,
#             and the page's tests (Debian's Chromium; playwright-core from
#             npm, at the version web/tests/package-lock.json locks)
# With no purpose named, all five.
set -euo pipefail
# What every build needs, then what each front end's front_end.sh names.
programs=(cmake make g++ pkg-config zlib1g-dev libdeflate-dev)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 zip unzip libdeflate-dev libspng-dev
         libcli11-dev dpkg-dev)
tests=()
# The packages the front ends name for a purpose, as words.
front_ends_need() { "$(dirname "$0")/front-ends.sh" "packages_$1" | cut -f2 | tr '\n' ' '; }
read -ra more <<< "$(front_ends_need programs)" && programs+=("${more[@]}")
read -ra more <<< "$(front_ends_need windows)" && windows+=("${more[@]}")
read -ra more <<< "$(front_ends_need tests)" && tests+=("${more[@]}")
arm64=(cmake make python3-venv llvm-14 mmdebstrap mingw-w64-common)
web=(cmake make clang lld binaryen wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32)
# Node.js as the machine has it (version 20 or later); Debian's where there is none.
command -v node >/dev/null || web+=(nodejs npm)
tests+=(googletest libgtest-dev libbenchmark-dev valgrind clang libclang-rt-14-dev gcc-multilib g++-multilib
        libspng-dev python3 lld qemu-user zlib1g-dev:arm64 libdeflate-dev:arm64 libstdc++-12-dev:arm64 dpkg-dev lintian
        file chromium imagemagick time)
packages=()
purposes=0
npm_tests=0
zig=0
windows_sources=0
for word in "$@"; do
  case $word in
    programs) packages+=("${programs[@]}"); purposes=1 ;;
    windows) packages+=("${programs[@]:0:3}" "${windows[@]}"); purposes=1; windows_sources=1 ;;
    web) packages+=("${web[@]}"); purposes=1 ;;
    arm64) packages+=("${arm64[@]}"); purposes=1; zig=1 ;;
    tests) packages+=("${programs[@]}" "${windows[@]}" "${web[@]}" "${arm64[@]}" "${tests[@]}"); purposes=1; npm_tests=1; zig=1
           windows_sources=1 ;;
    *) packages+=("$word") ;;
  esac
done
if [ $purposes -eq 0 ]; then
  packages+=("${programs[@]}" "${windows[@]}" "${web[@]}" "${arm64[@]}" "${tests[@]}")
  npm_tests=1
  zig=1
  windows_sources=1
fi
# The page's test driver, exactly as locked.
npm_install() {
  [ $npm_tests -eq 1 ] || return 0
  local dir
  dir="$(dirname "$0")/../web/tests"
  [ "$dir/node_modules/.package-lock.json" -nt "$dir/package-lock.json" ] && return 0
  npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error
}
# zig from the Python package index, exactly as pinned, in a folder of the build's.
zig_install() {
  [ $zig -eq 1 ] || return 0
  local tools requirements
  tools="$(dirname "$0")/../build/arm64-windows-tools"
  requirements="$(dirname "$0")/../cmake/zig-requirements.txt"
  [ "$tools/zig/installed" -nt "$requirements" ] && return 0
  rm -rf "$tools/zig"
  python3 -m venv "$tools/zig"
  "$tools/zig/bin/pip" install -q --disable-pip-version-check -r "$requirements"
  touch "$tools/zig/installed"
}
# Debian's sources of the libraries the Linux build links, for mcadec.exe
# (libdeflate) and mcaenc.exe (libspng, zlib): each the version of its -dev
# package here (zlib: the release's own, as the mirror keeps no source of
# security updates), fetched through an apt list of its own (the system's is
# left as it is), whose signed index vouches for the files.
debian_source() {  # SOURCE-PACKAGE DEV-PACKAGE|=VERSION
  local tools version codename apt
  mkdir -p "$(dirname "$0")/../build/windows-tools"
  tools=$(cd "$(dirname "$0")/../build/windows-tools" && pwd)  # apt takes paths from /etc/apt otherwise
  case $2 in
    =*) version=${2#=} ;;
    *) version=$(dpkg-query -W -f='${source:Version}\n' "$2" | head -1) ;;
  esac
  [ "$(cat "$tools/$1/debian-version" 2>/dev/null)" = "$version" ] && return 0
  rm -rf "${tools:?}/$1" "$tools/apt"
  mkdir -p "$tools/apt/lists/partial" "$tools/apt/get"
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "deb-src http://deb.debian.org/debian $codename main" > "$tools/apt/sources.list"
  apt=(apt-get -qq -o Dir::Etc::SourceList="$tools/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
       -o Dir::State::Lists="$tools/apt/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  "${apt[@]}" update
  (cd "$tools/apt/get" && "${apt[@]}" source --download-only "$1=$version" >/dev/null &&
   dpkg-source -q -x "$1"_*.dsc source >/dev/null 2>&1)
  mv "$tools/apt/get/source" "$tools/$1"
  echo "$version" > "$tools/$1/debian-version"
  rm -rf "$tools/apt"
}
windows_library_sources() {
  [ $windows_sources -eq 1 ] || return 0
  debian_source libdeflate libdeflate-dev
  debian_source libspng libspng-dev
  debian_source zlib =1:1.2.13.dfsg-1
}
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  npm_install
  zig_install
  windows_library_sources
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
# Packages of other architectures (wine32:i386, the Arm build's libraries).
for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/.*:\(i386\|arm64\)$/\1/p' | sort -u); do
  dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
done
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}" >/dev/null
npm_install
zig_install
windows_library_sources
