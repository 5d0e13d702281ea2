#!/usr/bin/env bash
# The Python package as users get it, against the newest Pillow: an sdist
# (carrying the decoder's sources) and a wheel built from it by `build` with
# build isolation, each installed into a plain venv beside the pinned newest
# Pillow and pytest, where the pytest suite runs. Debian's Pillow is tested
# by the native preset's ctest. Every package fetched is pinned
# (requirements-newest.txt, constraints.txt).
#   python/tests/dists_test.sh BUILD   (BUILD: the native build, for mcadec and make_large)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: dists_test.sh NATIVE_BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PIP_CONSTRAINT="$here/constraints.txt" PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1
mkdir "$work/src"
cp -r "$root/python/." "$work/src/"
rm -rf "$work/src/build" "$work/src/"*.egg-info
cp -r "$root/mca" "$work/src/mca"
/usr/bin/python3 -m venv "$work/tools"
"$work/tools/bin/pip" install -q build
"$work/tools/bin/python" -m build --outdir "$work/dist" "$work/src" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
sdist=$(ls "$work/dist"/zuvrek-*.tar.gz)
wheel=$(ls "$work/dist"/zuvrek-*.whl)
for package in "$sdist" "$wheel"; do
  echo "-- $(basename "$package") with the newest Pillow"
  venv="$work/venv-$(basename "$package")"
  /usr/bin/python3 -m venv "$venv"
  "$venv/bin/pip" install -q -r "$here/requirements-newest.txt"
  "$venv/bin/pip" install -q "$package"
  # From a folder without the sources, so that the installed package is the one imported.
  (cd "$work" && ZUVREK_SOURCE="$root" ZUVREK_MCADEC="$build/mcadec" ZUVREK_MAKE_LARGE="$build/make_large" \
    PYTHONDONTWRITEBYTECODE=1 "$venv/bin/python" -m pytest -q -p no:cacheprovider --rootdir "$here" "$here")
done
